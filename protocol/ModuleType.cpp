// SPDX-License-Identifier: GPL-3.0-or-later
#include "ModuleType.h"

#include "AtProtocol.h"

TModuleType ModuleTypeOf(bool legacyDevice, bool legacyFastSwitch)
{
    if (!legacyDevice)
        return TModuleType::Current;
    return legacyFastSwitch ? TModuleType::LegacyFast : TModuleType::Legacy;
}

TModuleType ModuleTypeFromVersionAnswer(const QByteArray& answer)
{
    if (answer == AnswerError())
        return TModuleType::Legacy;
    if (answer == LegacyFastVersion())
        return TModuleType::LegacyFast;
    return TModuleType::Current;
}

QByteArray ModuleTypeName(TModuleType type)
{
    switch (type) {
    case TModuleType::Current: return QByteArrayLiteral("current");
    case TModuleType::LegacyFast: return QByteArrayLiteral("legacy-fast");
    case TModuleType::Legacy: return QByteArrayLiteral("legacy");
    }
    return {};
}

std::optional<TModuleType> ModuleTypeFromName(const QByteArray& name)
{
    for (TModuleType type : {TModuleType::Current, TModuleType::LegacyFast, TModuleType::Legacy}) {
        if (name.compare(ModuleTypeName(type), Qt::CaseInsensitive) == 0)
            return type;
    }
    return std::nullopt;
}
