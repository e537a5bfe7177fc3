// SPDX-License-Identifier: GPL-3.0-or-later
// The receive worker's byte-to-frame rule on any byte stream.
#include "FrameAssembler.h"
#include "FuzzCheck.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QList>

namespace {

const QByteArray kCrLf = QByteArrayLiteral("\r\n");
constexpr qsizetype kLongestAnswer = TFrameAssembler::MaxFrameBuffer - 4;

// What holds after every piece, whatever came before.
void CheckAfterPiece(const TFrameAssembler& frames, const std::optional<QByteArray>& response, bool onePieceAByte)
{
    FUZZ_CHECK(frames.Pending().size() <= TFrameAssembler::MaxFrameBuffer);
    if (!response)
        return;
    FUZZ_CHECK(!response->isEmpty());
    FUZZ_CHECK(response->size() <= kLongestAnswer);
    // An answer ends at the first CR LF after its opening one; only a blank
    // line before it can leave a CR LF at its start. Pieces of several bytes
    // are tested as a whole, so they may carry one inside.
    if (onePieceAByte)
        FUZZ_CHECK(response->indexOf(kCrLf, 1) < 0);
}

QList<QByteArray> FeedBytes(TFrameAssembler& frames, const QByteArray& bytes)
{
    QList<QByteArray> responses;
    for (const char c : bytes) {
        const auto response = frames.Add(QByteArray(1, c));
        CheckAfterPiece(frames, response, true);
        if (response)
            responses << *response;
    }
    return responses;
}

// Noise, one byte a piece as the program queues it; then a module that answers
// properly again must be understood.
void Garbage(FuzzedDataProvider& in)
{
    TFrameAssembler frames;
    FeedBytes(frames, QByteArray::fromStdString(in.ConsumeRemainingBytesAsString()));
    // The noise may have left half a frame; the first good answers can go to
    // completing or dropping it, but the stream is back in step by the third.
    const QByteArray ok = QByteArrayLiteral("\r\nOK\r\n");
    FeedBytes(frames, ok + ok);
    const QList<QByteArray> last = FeedBytes(frames, ok);
    FUZZ_CHECK(last == QList<QByteArray>{QByteArrayLiteral("OK")});
    FUZZ_CHECK(frames.Pending().isEmpty());
}

// Well-formed answers back to back come out exactly as they went in.
void WellFormed(FuzzedDataProvider& in)
{
    QList<QByteArray> sent;
    QByteArray stream;
    while (in.remaining_bytes() > 0) {
        QByteArray text = QByteArray::fromStdString(in.ConsumeRandomLengthString(300));
        while (text.contains(kCrLf))
            text.replace(kCrLf, QByteArray());
        text.truncate(kLongestAnswer);
        if (text.isEmpty())
            continue;
        sent << text;
        stream += kCrLf + text + kCrLf;
    }
    TFrameAssembler frames;
    FUZZ_CHECK(FeedBytes(frames, stream) == sent);
    FUZZ_CHECK(frames.Pending().isEmpty());
}

// Pieces of any size: the rule must stay bounded and never fail.
void AnyPieces(FuzzedDataProvider& in)
{
    TFrameAssembler frames;
    while (in.remaining_bytes() > 0) {
        const QByteArray piece = QByteArray::fromStdString(in.ConsumeRandomLengthString(1024));
        CheckAfterPiece(frames, frames.Add(piece), false);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
    case 0: Garbage(in); break;
    case 1: WellFormed(in); break;
    default: AnyPieces(in); break;
    }
    return 0;
}
