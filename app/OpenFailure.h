#pragma once

#include <QString>

// The detail of the "SERIAL OPEN ERROR" report. Its first line stays "COM Port
// Opening Failed."; the second says why, as far as the system told us, so that a
// missing device or a missing group membership is not blamed on another program.
QString OpenFailureDetail(const QString& port, int platformError);
