// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A unit of a production line as the tests and the benchmark run it: the line
// opened, the module's speed found, every setting read, the device name
// UNIT-<n> written with the module type's whole write sequence, the module
// restarted. The record is filled as radioset-cli fills it.

#include "AtProtocol.h"
#include "ModuleExchange.h"
#include "ModuleLine.h"
#include "ProductionLine.h"
#include "SpeedSearch.h"

inline void WriteNameJob(const TUnitContext& context, TUnitRecord& record)
{
    record.Command = QStringLiteral("write");
    const TTranscriptWriter transcript = context.Transcript;
    TModuleLine line({}, [transcript](TModuleLine::TDirection direction, const QByteArray& bytes) {
        direction == TModuleLine::TDirection::Sent ? transcript.Sent(bytes) : transcript.Received(bytes);
    });
    TLineOptions options;
    options.Baud = context.Speeds.value(0, 9600);
    if (const std::optional<TReport> error = line.Open(context.Port.Name, options)) {
        record.Error = error->OneLine();
        return;
    }
    TSequencerState state;
    TParameters read, edit;
    TExchangeOptions limits;
    limits.ReadOnAfterWrongData = false;
    TModuleExchange exchange(state, read, edit, limits);
    const TSpeedSearch found = FindSpeed(line, exchange, options, context.Speeds,
                                         [&transcript](qint32 baud) { transcript.Note(QStringLiteral("line at %1 Bd").arg(baud)); });
    record.Speed = found.Speed.value_or(0);
    if (found.Last.Report || found.Last.End != TExchangeEnd::Identified) {
        record.Error = found.Last.Report ? found.Last.Report->OneLine() : QStringLiteral("the module does not name its model");
        return;
    }
    TExchangeStep end = line.Run(exchange, exchange.StartReading());
    TModuleInfo module;
    module.Type = exchange.Type();
    module.Model = found.Last.Model;
    module.BluetoothVersion = read.Local.BTSpec;
    module.SoftwareVersion = read.Local.SWVersion;
    module.LocalAddress = read.Local.LocalBDAddr;
    if (end.End == TExchangeEnd::Read)
        record.Module = module;
    if (end.Report || end.End != TExchangeEnd::Read) {
        record.Error = end.Report ? end.Report->OneLine() : QStringLiteral("reading stopped");
        return;
    }
    const QByteArray name = "UNIT-" + QByteArray::number(context.Unit).rightJustified(4, '0');
    edit.Bluetooth.DeviceName = name;
    record.Values = {{"BLUETOOTH.DEVICE NAME", name}};
    end = line.Run(exchange, exchange.StartWriting());
    line.Close();
    if (end.Report || end.End != TExchangeEnd::Written) {
        record.Error = end.Report ? end.Report->OneLine() : QStringLiteral("writing stopped");
        return;
    }
    record.Passed = true;
}
