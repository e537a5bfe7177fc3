// SPDX-License-Identifier: GPL-3.0-or-later
#include "Artwork.h"
#include "EndRequests.h"
#include "MainUnit.h"
#include "RadioSetVersion.h"
#include "Skin.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The name is what the task bar, message boxes and the window manager show.
    QApplication::setApplicationName(QStringLiteral("RADIOSET"));
    QApplication::setApplicationVersion(QStringLiteral(RADIOSET_VERSION));
    // Ties the window to its desktop entry and icon on Wayland.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.radioset.RadioSet"));
    QApplication::setWindowIcon(Artwork::ApplicationIcon());
    ApplySkin(app);

    TMainForm mainForm;
    // Logging out, kill or Ctrl+C in the terminal: the program ends without the
    // exit question, after the exchange under way.
    TEndRequests endRequests(&mainForm);
    QObject::connect(&endRequests, &TEndRequests::EndRequested, &mainForm, &TMainForm::EndOnRequest);
    mainForm.show();
    return app.exec();
}
