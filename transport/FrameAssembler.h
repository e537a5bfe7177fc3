// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <optional>

// Gathers received pieces and cuts the module's answers out of them: whenever the
// text gathered so far is CR LF, something, CR LF, the something is one answer.
// Pure and single-threaded, so that the rule can be checked on its own; the
// receive worker feeds it one piece per cycle.
class TFrameAssembler final
{
public:
    // The longest text gathered while waiting for a frame to end. The longest
    // answer is a search result with a device name of up to 248 bytes beside
    // its address and class; anything past this bound is noise and is dropped.
    static constexpr qsizetype MaxFrameBuffer = 1024;

    // Appends the piece and hands back the answer it completes, if any. At most
    // one answer per piece: the program feeds pieces of one byte.
    std::optional<QByteArray> Add(const QByteArray& piece);

    // Forgets everything gathered, as at the start of the worker.
    void Reset();

    // What has been gathered and does not yet form a frame.
    const QByteArray& Pending() const { return FrameBuffer; }

private:
    // Whether the gathered text can still become a frame: it starts CR LF, or
    // is the first part of that.
    bool InStep() const;

    QByteArray FrameBuffer;
    // After noise: dropping characters up to the next CR LF.
    bool m_skipping = false;
    // Just back in step on a CR LF that may have ended the noise rather than
    // opened the next frame.
    bool m_resynced = false;
};
