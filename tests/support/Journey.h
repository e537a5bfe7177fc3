// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The steps a user takes in the radioset program, each ending when its effect has
// reached the module (seen in the module's transcript) and the window has settled.

#include "Programs.h"

struct TJourney
{
    const TDesktop& Desktop;
    TProgram& Program;
    TSimProcess& Sim;

    // OPEN with the module's device typed into COM PORT and the debug character left at 1E.
    bool Open(bool expectIdentified = true)
    {
        const qsizetype before = Sim.CountSent(QByteArrayLiteral("AT+BTINFO?100\r"));
        if (!Desktop.Click(Program.Main, Place::Toolbar(Place::Open)))
            return false;
        const QString dialog = Desktop.WaitWindow(Caption::Serial);
        if (dialog.isEmpty() || !Desktop.Retype(dialog, {8 + 68 + 30, 60 + 21 + 10}, Sim.Device) ||
            !Desktop.Click(dialog, {8 + 39, 196 + 11}) || !Desktop.WaitGone(Caption::Serial))
            return false;
        if (!expectIdentified)
            return true;
        return Sim.WaitSent(QByteArrayLiteral("AT+BTINFO?100\r"), before + 1) && Settle(400);
    }

    // READ, to its end; `lastQuery` is the module type's last info query.
    bool Read(const QByteArray& lastQuery)
    {
        const qsizetype before = Sim.CountSent(lastQuery);
        return Desktop.Click(Program.Main, Place::Toolbar(Place::Read)) && Sim.WaitSent(lastQuery, before + 1) &&
               Desktop.WaitGone(Caption::Reading) && Settle(2000); // the menu appears button by button
    }

    bool OpenPage(int page) { return Desktop.Click(Program.Main, Place::MenuButton(page)) && Settle(700); }

    // WRITE, confirmed, to the restart that ends it.
    bool Write()
    {
        const qsizetype before = Sim.CountSent(QByteArrayLiteral("ATZ\r"));
        if (!Desktop.Click(Program.Main, Place::Toolbar(Place::Write)))
            return false;
        const QString question = Desktop.WaitWindow(Caption::WriteQuestion);
        return Desktop.Click(question, {5 + 61, 96 + 10}) && Sim.WaitSent(QByteArrayLiteral("ATZ\r"), before + 1) &&
               Settle(600);
    }

    // EXIT, confirmed; true when the program has ended by itself.
    bool Exit(int giveUpMs = 10000)
    {
        return Desktop.Click(Program.Main, Place::Toolbar(Place::Exit)) && ConfirmExit() && Program.WaitEnd(giveUpMs);
    }

    bool ConfirmExit()
    {
        const QString question = Desktop.WaitWindow(Caption::ExitQuestion);
        return Desktop.Click(question, {6 + 65, 95 + 10});
    }

    static bool Settle(int ms)
    {
        QTest::qWait(ms);
        return true;
    }
};
