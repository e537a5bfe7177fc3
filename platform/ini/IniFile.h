// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// Single values from INI files, read the way the product list file is meant to be
// read. Our own reader rather than QSettings: QSettings treats keys with letter
// case, unescapes values and would rewrite the file, none of which we want.

// The longest value handed back; longer values are cut to this many characters.
inline constexpr int IniValueMaxLength = 2047;

// Reads one value: opens the file, finds `section` and `key` (both without regard to
// letter case), returns the text after the first "=" without surrounding blanks, at
// most IniValueMaxLength characters; empty when the file, section or key is missing.
// The file is opened and closed on every call, so edits made while the program runs
// are seen by the next read.
QByteArray ReadIniValue(const QString& path, const QByteArray& section, const QByteArray& key);

// Reads one value of the product list file at `path` (as ProductListPath gives it).
// The names of the file and of its folder are looked up afresh, without regard to
// letter case, at every read: a "Setup" folder renamed "setup" while the program runs
// is still found.
QByteArray ReadProductListValue(const QString& path, const QByteArray& section, const QByteArray& key);

// Where the product list file at `path` is now: the file's own name and its folder's
// name matched without regard to letter case (the exact spelling wins). Returns `path`
// when nothing matches.
QString LocateProductList(const QString& path);

// The product list file beside the program: <folder of the executable>/Setup/config.ini,
// with the folder name "Setup" matched without regard to letter case (an existing
// "setup" or "SETUP" folder is found). Returns the path even when the file is missing.
QString ProductListPath();

// The same, for a given program folder.
QString ProductListPath(const QString& programFolder);
