// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CPort.h"
#include "PortHolders.h"
#include "Reports.h"

#include <QString>

#include <optional>

// The reports about the serial port itself, as the error dialog shows them and
// as a program without windows prints them: a title in capitals, a detail and a
// line that says what to do.

// The system's description of an error number, e.g. "Input/output error",
// always in English whatever the locale.
QString PlatformErrorText(int error);

// The detail of the "SERIAL OPEN ERROR" report. Its first line stays "COM Port
// Opening Failed."; the second says why, as far as the system told us, so that a
// missing device or a missing group membership is not blamed on another program.
QString OpenFailureDetail(const QString& port, int platformError);

// "SERIAL OPEN ERROR" for a port that could not be opened. With a holder, the
// detail says the port is in use and names the program that has it. The failure
// code is the port component's (EComPort::OpenFailed, EComPort::LineRefused, ...).
TReport SerialOpenReport(const QString& port, int platformError,
                         const std::optional<TPortHolder>& holder = std::nullopt,
                         int failureCode = EComPort::OpenFailed);

// "SERIAL OPEN ERROR" for a port that could not be opened, with the program
// that holds it named when the failure says the port is held (SerialPortHeld)
// and the system lets us see who holds it.
TReport SerialOpenFailure(const QString& port, int platformError, int failureCode = EComPort::OpenFailed);

// The port went away while it was open: an adapter pulled out, a device removed.
TReport PortGoneReport(const QString& port);
