// SPDX-License-Identifier: GPL-3.0-or-later
#include "FrameAssembler.h"

namespace {

const QByteArray kCrLf = QByteArrayLiteral("\r\n");
const QByteArray kBlankLine = QByteArrayLiteral("\r\n\r\n");

} // namespace

void TFrameAssembler::Reset()
{
    FrameBuffer.clear();
    m_skipping = false;
    m_resynced = false;
}

bool TFrameAssembler::InStep() const
{
    const qsizetype n = FrameBuffer.size();
    if (n == 0)
        return true;
    if (FrameBuffer.at(0) != '\r')
        return false;
    return n == 1 || FrameBuffer.at(1) == '\n';
}

std::optional<QByteArray> TFrameAssembler::Add(const QByteArray& piece)
{
    if (piece.isEmpty())
        return std::nullopt;
    FrameBuffer += piece;

    // Each pass either hands on a frame, waits for more, or drops at least one
    // character, so it ends however long the piece.
    for (;;) {
        if (m_skipping) {
            const qsizetype end = FrameBuffer.indexOf(kCrLf);
            if (end < 0) {
                // Keep a CR that may be the first half of the CR LF looked for.
                FrameBuffer = FrameBuffer.endsWith('\r') ? QByteArray(1, '\r') : QByteArray();
                return std::nullopt;
            }
            FrameBuffer.remove(0, end);
            m_skipping = false;
            m_resynced = true;
        }
        if (m_resynced) {
            // The CR LF kept after noise may have ended it, with the next frame
            // opening on a CR LF of its own: one of the two is enough.
            while (FrameBuffer.startsWith(kBlankLine))
                FrameBuffer.remove(0, 2);
            if (!kBlankLine.startsWith(FrameBuffer))
                m_resynced = false;
        }

        const qsizetype n = FrameBuffer.size();
        if (n > MaxFrameBuffer || !InStep()) {
            // Noise, or a line without its leading CR LF, or more than any
            // answer can be: drop up to the next CR LF after the first
            // character and pick up from there.
            FrameBuffer.remove(0, 1);
            m_skipping = true;
            m_resynced = false;
            continue;
        }
        if (n > 4 && FrameBuffer.startsWith(kCrLf) && FrameBuffer.endsWith(kCrLf)) {
            QByteArray response = FrameBuffer.mid(2, n - 4);
            FrameBuffer.clear();
            return response;
        }
        return std::nullopt;
    }
}
