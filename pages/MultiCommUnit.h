// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TPageForm.h"
#include "FieldRules.h"

#include <QByteArray>
#include <QString>

#include <optional>

class QComboBox;
class TEditBox;
class TMultiCommParam;

// One-to-many connections: operation mode, number of devices and receive
// buffer size. The choices come from the product list file for the model;
// "MODE 0" locks the device count and the buffer size.
class TMultiCommForm final : public TPageForm
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TMultiCommForm)

public:
    explicit TMultiCommForm(QWidget* parent = nullptr);

    QByteArray ModelName;
    QString ConfigPath; // the product list file
    TMultiCommParam* Group = nullptr;

    QComboBox* OperationMode;
    QComboBox* NumberOfDevice;
    TEditBox* RxBufferSize;

    // Empty when the file, the section or the key is missing.
    QByteArray ReadConfigValue(const QByteArray& section, const QByteArray& key) const;

    void LoadModelChoices();
    void LoadFromParams();
    // Last step of the opening: the device count and buffer size may only be
    // changed beyond "MODE 0".
    void ApplyOperationModeLock();

    void OperationModeChange();
    void NumberOfDeviceChange();
    void RxBufferSizeChange();

    static bool RxBufferSizeKeyPress(QChar key);

    // The most items a list is built with from the file; larger counts are
    // taken as unusable, like a value that is not a number.
    static constexpr int MaxFileChoices = MaxProductChoices;

private:
    std::optional<int> ReadChoiceCount(const QByteArray& key) const;
};
