// The files beside a capture log, read as they come from elsewhere: the fuzz bytes as a
// sent file (first byte even) or notes (odd), for a log of a size the next two bytes
// give. Whatever reads as matching must hold together: the sent pieces inside the log,
// in time order, counted by source; the notes inside the log and written back the same.
// And escaping any bytes reads back to them.
#include "core/notes.h"
#include "core/sentlog.h"
#include "fuzzcheck.h"

#include <array>

using namespace fuzzcheck;
using namespace vantrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const qint64 logBytes = qint64(data[1]) << 8 | data[2];
    const QByteArray text(reinterpret_cast<const char*>(data + 3), qsizetype(size - 3));
    const QString input =
        QString::number(logBytes) + QStringLiteral(" bytes: ") + latin1(data + 3, size - 3);
    QByteArray back;
    if (!sent::unescaped(sent::escaped(text), &back) || back != text)
        mismatch("escaped bytes read back", input, show(QString::fromLatin1(back)),
                 show(QString::fromLatin1(text)));
    if (data[0] % 2 == 0) {
        const SentLog log = SentLog::parse(text, logBytes, QStringLiteral("car.log"));
        if (!log.valid())
            return 0;
        std::array<qint64, sent::kSources> counts{};
        qint64 lastMs = -1;
        for (const SentPiece& p : log.pieces()) {
            if (p.offset > p.lastOffset || p.lastOffset > logBytes || p.ms > p.lastMs ||
                p.count < 1 || p.ms < lastMs)
                broken("a sent piece out of place", input,
                       std::to_string(p.offset) + ".." + std::to_string(p.lastOffset) + " at " +
                           std::to_string(p.ms));
            lastMs = p.ms;
            counts[size_t(p.source)] += p.count;
        }
        for (int s = 0; s < sent::kSources; ++s)
            if (counts[size_t(s)] != log.count(sent::Source(s)))
                broken("a source's count", input, std::to_string(log.count(sent::Source(s))));
        return 0;
    }
    const Notes notes = Notes::parse(text, logBytes, QStringLiteral("car.log"));
    if (!notes.valid())
        return 0;
    for (const Note& n : notes.notes())
        if (n.offset > logBytes)
            broken("a note past the log", input, std::to_string(n.offset));
    const Notes again =
        Notes::parse(notes::format(notes.notes()), logBytes, QStringLiteral("car.log"));
    if (!again.valid() || again.notes() != notes.notes())
        broken("notes written back", input, again.notice().toStdString());
    return 0;
}
