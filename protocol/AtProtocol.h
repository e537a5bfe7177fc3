// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PropertyUnit.h"

#include <QByteArray>
#include <QList>

// The module's AT command set: building the texts we send and turning the answers
// into parameter fields. No I/O and no state: the sequencer decides what to send
// and when.

inline constexpr int WriteStepCount = 22;
// Info steps 0..16 are "AT+BTINFO?<n>"; step 17 is the model query.
inline constexpr int InfoStepCount = 18;
inline constexpr int ModelQueryStep = 17;

// Splits an answer into items by the comma rule (empty items between commas count,
// a trailing comma adds none, an empty answer gives none). Items are not trimmed.
QList<QByteArray> SplitResponse(const QByteArray& answer);

// Value conversions. Return false (and leave *value untouched) on anything that is
// not a valid number: never throw, never read past the item.
bool DecimalItem(const QByteArray& item, qint32* value);    // optional leading blanks, optional sign, digits, must fit 32 bits
bool HexItem(const QByteArray& item, QByteArray* stored);    // bare hex digits of either case -> at least two upper-case digits ("1b" -> "1B", "5" -> "05")
bool ModeNumber(const QByteArray& text, qint32* value);      // removes every "MODE" (upper case only), reads the rest as DecimalItem
int HexDigitValue(char c);                                   // 0..15 for 0-9, a-f, A-F; -1 for anything else

// Whole-answer words, compared exactly.
QByteArray AnswerOk();           // "OK"
QByteArray AnswerError();        // "ERROR"
QByteArray LegacyFastVersion();  // "2.0": the version answer of a legacy module with fast switching

// What is sent outside the info queries and write commands.
QByteArray WakeUpText();                    // the lone CR sent right after the port opens
QByteArray DebugCharCommand(quint8 value);  // the debug character: one byte, no CR
QByteArray VersionQuery();                  // "AT+BTINFO?10\r": the handshake's Bluetooth version query
QByteArray ModelQuery();                    // "AT+BTINFO?100\r"
QByteArray ServiceNameQuery();              // "AT+BTINFO?15\r"
QByteArray FactoryResetCommand();           // "AT&F\r"
QByteArray RestartCommand();                // "ATZ\r": restarts the module and ends its configuration mode
QByteArray SearchCommand();                 // "AT+BTINQ?\r"
QByteArray ProfileCommand(int profile);     // "AT+BTPRO,<profile>\r": 0 SPP, 1 DUN

QByteArray InfoQuery(int step);                  // "AT+BTINFO?<step>\r"; step 17 -> "AT+BTINFO?100\r"; 18 or more (or negative) -> empty (nothing to send)
QByteArray WriteCommand(int step, const TParameters& params);   // the write command of step 0..21 with its CR; outside 0..21 -> "AT+BT\r"
const QList<QByteArray>& CommandNames();         // the 22 names, e.g. "AT+BTNAME", ..., "AT+BTFASTCH" (15), "AT+BTSN" (19)

// Stores the answer to info query `step` (0..17) into both sets, all fields of the
// step or none. Returns false when the answer is refused: a wrong item count, or an
// item that must be a number and is not, or (step 11) an access-code item shorter
// than six characters. Nothing is changed then. Single-value steps always succeed.
// A step outside 0..17 has no answer to store and is refused too.
bool StoreInfoAnswer(int step, const QByteArray& answer, TParameters& readParams, TParameters& editParams);
