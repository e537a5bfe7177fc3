// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A whole program session in one test process: a virtual module on a
// pseudo-terminal and a main window that talks to it through the real serial
// component, driven as a user drives it.

#include "ErrorFormUnit.h"
#include "MainUnit.h"
#include "MessageBox.h"
#include "ModalDriver.h"
#include "SerialFormUnit.h"
#include "TLed.h"
#include "TTimer.h"
#include "VirtualModule.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

class TSession
{
public:
    explicit TSession(radiosim::Options options = {})
        : Module(std::move(options))
    {
        std::string error;
        Started = Module.start(&error);
        StartError = QString::fromStdString(error);
        WriteProductList(QByteArrayLiteral("[PRODUCTS]\nPRODUCT_CNT=3\nPRODUCT01=QN7101\nPRODUCT02=QN7201\n"
                                           "PRODUCT03=BT-OTHER\n[QN7201]\nOPMODE=3\nNUMBEROFDEVICE=7\n"));
        Form = std::make_unique<TMainForm>();
        Form->SetProductListFile(ProductListPath);
        Form->show();
        m_previousHook = PlatformMessageBox::SetHook([this](const QString& text) { Messages << text; });
    }

    ~TSession()
    {
        // Leave without the exit question: the test is over. A test may have
        // destroyed the window itself.
        if (Form)
            Form->hide();
        Form.reset();
        PlatformMessageBox::SetHook(std::move(m_previousHook));
    }

    void WriteProductList(const QByteArray& content)
    {
        ProductListPath = m_dir.filePath(QStringLiteral("config.ini"));
        QFile file(ProductListPath);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(content);
    }

    QString DevicePath() const { return QString::fromStdString(Module.devicePath()); }

    // OPEN with the given debug character and port (the module's port by default).
    void Open(const QString& debugChar = QStringLiteral("1E"), const QString& port = QString())
    {
        const QString path = port.isNull() ? DevicePath() : port;
        WhenModalShown([debugChar, path](QWidget* modal) {
            auto* dialog = qobject_cast<TSerialForm*>(modal);
            if (!dialog) {
                static_cast<QDialog*>(modal)->reject();
                return;
            }
            dialog->ComPort->setEditText(path);
            dialog->DebugChar->setText(debugChar);
            dialog->Confirmed = true;
            dialog->accept();
        });
        Form->BtnOpen->click();
    }

    bool OpenAndIdentify()
    {
        Open();
        return QTest::qWaitFor([this] { return Form->BtnRead->isEnabled(); }, 5000);
    }

    // Runs READ to its end: the window enabled again, idle, and the refresh that
    // follows a read done.
    bool Read()
    {
        Form->BtnRead->click();
        return QTest::qWaitFor(
            [this] { return Form->isEnabled() && Form->CommMode == ModeIdle && !Form->RedrawTimer->Enabled(); },
            15000);
    }

    // Waits for the next error dialog, records its texts and closes it.
    bool WaitForError(int timeoutMs = 5000)
    {
        ErrorTitle.clear();
        WhenModalShown([this](QWidget* modal) {
            if (auto* error = qobject_cast<TErrorForm*>(modal)) {
                ErrorTitle = error->Title();
                ErrorDetail = error->Detail();
                ErrorMaintenance = error->MaintenanceLine();
            }
            static_cast<QDialog*>(modal)->accept();
        });
        return QTest::qWaitFor([this] { return !ErrorTitle.isEmpty(); }, timeoutMs);
    }

    radiosim::VirtualModule Module;
    bool Started = false;
    QString StartError;
    QString ProductListPath;
    std::unique_ptr<TMainForm> Form;
    QStringList Messages;
    QString ErrorTitle;
    QString ErrorDetail;
    QString ErrorMaintenance;

private:
    QTemporaryDir m_dir;
    PlatformMessageBox::Hook m_previousHook;
};
