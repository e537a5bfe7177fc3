// SPDX-License-Identifier: GPL-3.0-or-later
// radioset-screenshots: builds RadioSet's real windows in this process, drives them
// against virtual modules to every page and dialog, and saves one PNG of each.
// The pictures of the user's guide come from here, so they always show the
// program as it is.

#include "AnnouncedPorts.h"
#include "Artwork.h"
#include "BluetoothUnit.h"
#include "ErrorFormUnit.h"
#include "FakePortSource.h"
#include "MainUnit.h"
#include "MessageBox.h"
#include "ModalDriver.h"
#include "ProcessingFormUnit.h"
#include "RadioSetVersion.h"
#include "SearchDevicesFormUnit.h"
#include "SerialFormUnit.h"
#include "Skin.h"
#include "TEditBox.h"
#include "TTimer.h"
#include "VirtualModule.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCommandLineParser>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTextStream>
#include <QToolButton>
#include <QTreeWidget>

#include <memory>

namespace {

class TShooter
{
public:
    TShooter(QString folder, QString prefix, QSet<QString> only)
        : m_folder(std::move(folder)), m_prefix(std::move(prefix)), m_only(std::move(only))
    {
    }

    void Shoot(const QString& name, QWidget* widget)
    {
        if (!m_only.isEmpty() && !m_only.contains(name))
            return;
        // Let pending layout and paint work finish, so the picture is the one on screen.
        QCoreApplication::processEvents();
        ShootImage(name, widget->grab().toImage());
    }

    void ShootImage(const QString& name, const QImage& picture)
    {
        if (!m_only.isEmpty() && !m_only.contains(name))
            return;
        const QImage image = picture.convertToFormat(QImage::Format_RGB32);
        const QString path = QDir(m_folder).filePath(m_prefix + name + QStringLiteral(".png"));
        if (image.isNull() || !image.save(path)) {
            m_failures << name + QStringLiteral(": could not save ") + path;
            return;
        }
        m_saved << name;
    }

    void Fail(const QString& what) { m_failures << what; }

    // Every shot asked for must have been taken.
    int Finish(const QStringList& expected) const
    {
        QTextStream err(stderr);
        for (const QString& name : expected)
            if ((m_only.isEmpty() || m_only.contains(name)) && !m_saved.contains(name))
                err << "radioset-screenshots: not taken: " << name << '\n';
        for (const QString& failure : m_failures)
            err << "radioset-screenshots: " << failure << '\n';
        bool missing = false;
        for (const QString& name : expected)
            missing = missing || ((m_only.isEmpty() || m_only.contains(name)) && !m_saved.contains(name));
        for (const QString& name : m_only)
            if (!expected.contains(name)) {
                err << "radioset-screenshots: unknown shot: " << name << '\n';
                missing = true;
            }
        return (missing || !m_failures.isEmpty()) ? 1 : 0;
    }

private:
    QString m_folder;
    QString m_prefix;
    QSet<QString> m_only;
    QStringList m_saved;
    QStringList m_failures;
};

const QStringList AllShots{
    QStringLiteral("main-window"),       QStringLiteral("serial-port-dialog"),
    QStringLiteral("product-selection"), QStringLiteral("connected"),
    QStringLiteral("reading-progress"),  QStringLiteral("page-overview"),
    QStringLiteral("page-bluetooth"),    QStringLiteral("page-security"),
    QStringLiteral("page-system"),       QStringLiteral("page-uart"),
    QStringLiteral("page-multi-connection"), QStringLiteral("device-search"),
    QStringLiteral("error-dialog"),      QStringLiteral("write-question"),
    QStringLiteral("init-question"),     QStringLiteral("exit-question"),
    QStringLiteral("page-bluetooth-legacy"), QStringLiteral("page-system-legacy"),
    QStringLiteral("page-uart-legacy"),
    QStringLiteral("serial-port-list"),  QStringLiteral("quick-start"),
};

const char* const PageShots[PageCount] = {"page-overview", "page-bluetooth", "page-security",
                                          "page-system",   "page-uart",      "page-multi-connection"};

bool WaitFor(const std::function<bool()>& condition, int ms = 10000)
{
    return QTest::qWaitFor(condition, ms);
}

// OPEN through the serial port dialog; shows `shownPort` in it for the picture.
bool Open(TMainForm& form, TShooter& shooter, const std::string& device, const QString& shotName = {})
{
    bool shown = false;
    const QString path = QString::fromStdString(device);
    WhenModalShown([&](QWidget* modal) {
        auto* dialog = qobject_cast<TSerialForm*>(modal);
        if (!dialog) {
            static_cast<QDialog*>(modal)->reject();
            return;
        }
        shown = true;
        if (!shotName.isEmpty()) {
            // A pseudo-terminal's name means nothing to a reader; a USB adapter does.
            dialog->ComPort->setEditText(QStringLiteral("/dev/ttyUSB0"));
            shooter.Shoot(shotName, dialog);
        }
        dialog->ComPort->setEditText(path);
        dialog->Confirmed = true;
        dialog->accept();
    });
    form.BtnOpen->click();
    return shown;
}

bool Close(TMainForm& form)
{
    form.BtnClose->click();
    return WaitFor([&] { return form.BtnOpen->isEnabled() && !form.BtnClose->isEnabled(); });
}

bool Read(TMainForm& form)
{
    form.BtnRead->click();
    return WaitFor([&] { return form.isEnabled() && form.CommMode == ModeIdle && !form.RedrawTimer->Enabled(); },
                   20000);
}

// Presses `button`, pictures the question it asks and closes it with `closeWith`.
void Question(TShooter& shooter, const QString& name, QAbstractButton* button, const QString& closeWith)
{
    bool shown = false;
    WhenModalShown([&](QWidget* modal) {
        shown = true;
        shooter.Shoot(name, modal);
        for (auto* b : modal->findChildren<QAbstractButton*>())
            if (b->accessibleName() == closeWith || b->text() == closeWith) {
                b->click();
                return;
            }
        static_cast<QDialog*>(modal)->reject();
    });
    button->click();
    if (!shown)
        shooter.Fail(name + QStringLiteral(": the question did not come"));
}

void ProductSelection(TMainForm& form, TShooter& shooter)
{
    radiosim::Options options;
    options.modelUnknown = true;
    radiosim::VirtualModule module(options);
    std::string error;
    if (!module.start(&error)) {
        shooter.Fail(QStringLiteral("virtual module: ") + QString::fromStdString(error));
        return;
    }
    bool shown = false;
    Open(form, shooter, module.devicePath());
    WhenModalShown([&](QWidget* modal) {
        shown = true;
        shooter.Shoot(QStringLiteral("product-selection"), modal);
        for (auto* b : modal->findChildren<QAbstractButton*>())
            if (b->accessibleName() == QLatin1String("DISCONNECT"))
                b->click();
    }, 10000);
    WaitFor([&] { return shown && form.BtnOpen->isEnabled(); });
    if (!shown)
        shooter.Fail(QStringLiteral("product-selection: the dialog did not come"));
}

void MainSession(TMainForm& form, TShooter& shooter)
{
    radiosim::Options options;
    options.model = "QN9300";
    options.answerDelayMs = 40; // slow enough for a picture of the progress dialog
    options.inquiryPaceMs = 60;
    radiosim::VirtualModule module(options);
    module.setSetting("Role", "MASTER");
    module.setSetting("OperationMode", "MODE1");
    module.setSetting("NumberOfDevice", "3");
    module.setSetting("DeviceName", "BENCH-UNIT-1");
    std::string error;
    if (!module.start(&error)) {
        shooter.Fail(QStringLiteral("virtual module: ") + QString::fromStdString(error));
        return;
    }
    if (!Open(form, shooter, module.devicePath(), QStringLiteral("serial-port-dialog"))
        || !WaitFor([&] { return form.BtnRead->isEnabled(); })) {
        shooter.Fail(QStringLiteral("the virtual module was not identified"));
        return;
    }
    shooter.Shoot(QStringLiteral("connected"), &form);

    bool progressTaken = false;
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!progressTaken && form.ProcessingDialog->isVisible() && form.ProcessingDialog->ProcessBar->Position() >= 9) {
            progressTaken = true;
            shooter.Shoot(QStringLiteral("reading-progress"), form.ProcessingDialog);
        }
    });
    watch.start();
    const bool read = Read(form);
    watch.stop();
    if (!read) {
        shooter.Fail(QStringLiteral("reading did not end"));
        return;
    }

    for (int k = 0; k < PageCount; ++k) {
        form.OpenPage(k);
        if (!WaitFor([&] { return form.OpenPages[k] && form.PageInSlot(k) && form.PageInSlot(k)->isVisible(); })) {
            shooter.Fail(QStringLiteral("page %1 did not open").arg(k));
            continue;
        }
        shooter.Shoot(QLatin1String(PageShots[k]), &form);
    }

    // The device search, from the Bluetooth page of this MASTER module.
    form.OpenPage(PageBluetooth);
    bool searched = false;
    WhenModalShown([&](QWidget* modal) {
        auto* dialog = qobject_cast<TSearchDeviceForm*>(modal);
        if (!dialog) {
            static_cast<QDialog*>(modal)->reject();
            return;
        }
        dialog->BtnSearch->click();
        searched = WaitFor([&] { return dialog->isEnabled(); }) && dialog->DeviceList->topLevelItemCount() > 0;
        if (searched) {
            dialog->DeviceList->setCurrentItem(dialog->DeviceList->topLevelItem(0));
            shooter.Shoot(QStringLiteral("device-search"), dialog);
        }
        dialog->BtnClose->click();
    });
    if (form.BluetoothPage && form.BluetoothPage->BtnSearch->isEnabled())
        form.BluetoothPage->BtnSearch->click();
    if (!searched)
        shooter.Fail(QStringLiteral("device-search: the search found nothing"));

    // A page check that fails: the device name emptied, then another page chosen.
    if (form.BluetoothPage) {
        const QString name = form.BluetoothPage->DeviceName->text();
        bool reported = false;
        WhenModalShown([&](QWidget* modal) {
            if (qobject_cast<TErrorForm*>(modal)) {
                reported = true;
                shooter.Shoot(QStringLiteral("error-dialog"), modal);
            }
            static_cast<QDialog*>(modal)->accept();
        });
        form.BluetoothPage->DeviceName->setText(QString());
        form.OpenPage(PageSecurity);
        WaitFor([&] { return reported; });
        form.BluetoothPage->DeviceName->setText(name);
    }

    Question(shooter, QStringLiteral("write-question"), form.BtnWrite, QStringLiteral("CANCEL"));
    Question(shooter, QStringLiteral("init-question"), form.BtnInit, QStringLiteral("CANCEL"));
    Question(shooter, QStringLiteral("exit-question"), form.BtnExit, QStringLiteral("CANCEL"));
    if (!Close(form))
        shooter.Fail(QStringLiteral("the connection did not close"));
}

void LegacySession(TMainForm& form, TShooter& shooter)
{
    radiosim::Options options;
    options.type = radiosim::ModuleType::Legacy;
    options.model = "QN6050";
    radiosim::VirtualModule module(options);
    std::string error;
    if (!module.start(&error)) {
        shooter.Fail(QStringLiteral("virtual module: ") + QString::fromStdString(error));
        return;
    }
    if (!Open(form, shooter, module.devicePath()) || !WaitFor([&] { return form.BtnRead->isEnabled(); })
        || !Read(form)) {
        shooter.Fail(QStringLiteral("the legacy module was not read"));
        return;
    }
    form.OpenPage(PageBluetooth);
    if (WaitFor([&] { return form.OpenPages[PageBluetooth]; }))
        shooter.Shoot(QStringLiteral("page-bluetooth-legacy"), &form);
    form.OpenPage(PageSystem);
    if (WaitFor([&] { return form.OpenPages[PageSystem]; }))
        shooter.Shoot(QStringLiteral("page-system-legacy"), &form);
    form.OpenPage(PageUart);
    if (WaitFor([&] { return form.OpenPages[PageUart]; }))
        shooter.Shoot(QStringLiteral("page-uart-legacy"), &form);
    Close(form);
}

// One picture of windows, each where it is on the screen, on the skin's
// background; later ones are drawn over earlier ones.
QImage Together(const QList<QWidget*>& windows)
{
    QRect all;
    for (QWidget* window : windows)
        all = all.united(QRect(window->mapToGlobal(QPoint(0, 0)), window->size()));
    all.adjust(-4, -4, 4, 4);
    const qreal ratio = windows.constFirst()->devicePixelRatioF();
    QPixmap picture(all.size() * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(windows.constFirst()->palette().color(QPalette::Window).darker(115));
    QPainter painter(&picture);
    for (QWidget* window : windows)
        painter.drawPixmap(window->mapToGlobal(QPoint(0, 0)) - all.topLeft(), window->grab());
    painter.end();
    return picture.toImage();
}

// The serial port dialog with its drop-down open over a bench of adapters as
// udev would describe them: the dialog and the drop-down window in one picture.
void PortList(TMainForm& form, TShooter& shooter)
{
    auto owned = std::make_unique<TFakePortSource>();
    TPortDevice uart = UsbAdapter(QStringLiteral("ttyS0"), {});
    uart.UartType = "4";
    TPortDevice cp2102 = UsbAdapter(QStringLiteral("ttyUSB1"), "Silicon\\x20Labs",
                                    "CP2102\\x20USB\\x20to\\x20UART\\x20Bridge\\x20Controller", "0001");
    TPortDevice arduino = UsbAdapter(QStringLiteral("ttyACM0"), "Arduino\\x20\\x28www.arduino.cc\\x29",
                                     "Uno", "75630313438351F0B1C1");
    owned->Devices = {uart, UsbAdapter(QStringLiteral("ttyUSB0")), cp2102, arduino};
    TSerialForm dialog(std::move(owned),
                       [](const QString& path) {
                           return path == QLatin1String("/dev/ttyUSB1") ? QStringLiteral("minicom") : QString();
                       },
                       &form);
    dialog.ComPort->setCurrentIndex(dialog.ComPort->findText(QStringLiteral("/dev/ttyUSB0")));
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog)) {
        shooter.Fail(QStringLiteral("serial-port-list: the dialog was not shown"));
        return;
    }
    dialog.ComPort->showPopup();
    QWidget* popup = dialog.ComPort->view()->window();
    if (!WaitFor([&] { return popup->isVisible(); }, 3000)) {
        shooter.Fail(QStringLiteral("serial-port-list: the drop-down did not open"));
        return;
    }
    QTest::qWait(100);
    shooter.ShootImage(QStringLiteral("serial-port-list"), Together({&dialog, popup}));
    dialog.ComPort->hidePopup();
    dialog.close();
}

// What scripts/start.sh leads to: a virtual module running, and the serial port
// dialog over the main window with its drop-down open, the module first in the
// list and chosen. The module is real and announces itself as radioset-sim does;
// the computer's ports are a fixed on-board UART, so that the picture is the
// same on every machine.
void QuickStart(TMainForm& form, TShooter& shooter)
{
    radiosim::Options options;
    options.announce = true;
    radiosim::VirtualModule module(options);
    std::string error;
    if (!module.start(&error) || module.announcedEntry().empty()) {
        shooter.Fail(QStringLiteral("quick-start: the virtual module was not listed: ")
                     + QString::fromStdString(error + module.announceError()));
        return;
    }
    auto owned = std::make_unique<TFakePortSource>();
    TPortDevice uart = UsbAdapter(QStringLiteral("ttyS0"), {});
    uart.UartType = "4";
    owned->Devices = {uart};
    owned->Devices += MakeAnnouncedPortSource()->Enumerate();
    TSerialForm dialog(std::move(owned), {}, &form);
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog)) {
        shooter.Fail(QStringLiteral("quick-start: the dialog was not shown"));
        return;
    }
    if (dialog.ComPort->itemData(0, TSerialForm::PortEntryRole).toString()
        != QString::fromStdString(module.announcedEntry())) {
        shooter.Fail(QStringLiteral("quick-start: the virtual module is not the first port"));
        return;
    }
    dialog.ComPort->showPopup();
    QWidget* popup = dialog.ComPort->view()->window();
    if (!WaitFor([&] { return popup->isVisible(); }, 3000)) {
        shooter.Fail(QStringLiteral("quick-start: the drop-down did not open"));
        return;
    }
    QTest::qWait(100);
    shooter.ShootImage(QStringLiteral("quick-start"), Together({&form, &dialog, popup}));
    dialog.ComPort->hidePopup();
    dialog.close();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("RADIOSET"));
    QApplication::setApplicationVersion(QStringLiteral(RADIOSET_VERSION));
    QApplication::setWindowIcon(Artwork::ApplicationIcon());
    ApplySkin(app);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Saves a picture of every page and dialog of RadioSet."));
    parser.addHelpOption();
    const QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("Folder for the pictures."),
                                       QStringLiteral("folder"), QStringLiteral("."));
    const QCommandLineOption prefixOption(QStringLiteral("prefix"), QStringLiteral("Put before every file name."),
                                          QStringLiteral("text"));
    const QCommandLineOption onlyOption(QStringLiteral("only"),
                                        QStringLiteral("Save only these pictures (names without .png, comma-separated)."),
                                        QStringLiteral("names"));
    const QCommandLineOption productsOption(QStringLiteral("products"), QStringLiteral("The product list file."),
                                            QStringLiteral("file"), QStringLiteral(RADIOSET_PRODUCT_LIST));
    parser.addOptions({outOption, prefixOption, onlyOption, productsOption});
    parser.process(app);

    QSet<QString> only;
    for (const QString& name : parser.value(onlyOption).split(u',', Qt::SkipEmptyParts))
        only.insert(name.trimmed());
    if (!QDir().mkpath(parser.value(outOption))) {
        QTextStream(stderr) << "radioset-screenshots: cannot make " << parser.value(outOption) << '\n';
        return 1;
    }
    TShooter shooter(parser.value(outOption), parser.value(prefixOption), only);

    // A message box would wait for a user who is not there; record it instead.
    PlatformMessageBox::SetHook([&shooter](const QString& text) { shooter.Fail(QStringLiteral("message box: ") + text); });

    auto form = std::make_unique<TMainForm>();
    form->SetProductListFile(parser.value(productsOption));
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get()))
        shooter.Fail(QStringLiteral("the main window was not shown"));
    shooter.Shoot(QStringLiteral("main-window"), form.get());

    ProductSelection(*form, shooter);
    MainSession(*form, shooter);
    LegacySession(*form, shooter);
    PortList(*form, shooter);
    QuickStart(*form, shooter);

    // Leave without the exit question.
    form->hide();
    form.reset();
    return shooter.Finish(AllShots);
}
