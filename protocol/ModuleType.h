// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <optional>

// What the handshake's Bluetooth version answer makes of the module. It decides
// the reading and writing sequences and what the pages offer.
enum class TModuleType {
    Current,     // any answer but "ERROR" and "2.0"
    LegacyFast,  // "2.0": legacy, with fast stream switching
    Legacy,      // "ERROR": legacy, without fast stream switching
};

TModuleType ModuleTypeOf(bool legacyDevice, bool legacyFastSwitch);
TModuleType ModuleTypeFromVersionAnswer(const QByteArray& answer);
inline bool IsLegacy(TModuleType type) { return type != TModuleType::Current; }
// "current", "legacy-fast", "legacy".
QByteArray ModuleTypeName(TModuleType type);
std::optional<TModuleType> ModuleTypeFromName(const QByteArray& name);
