#include "signalexport.h"

#include "signalnames.h"

#include <QFileDevice>
#include <QFileInfo>

#include <algorithm>
#include <tuple>

namespace vantrel
{

namespace
{
constexpr int kSpeedBits = 16;

// Writes through a buffer; the first failure names the file and the reason.
class Writer final
{
public:
    explicit Writer(QIODevice& out) : m_out(out) {}
    void put(const QByteArray& bytes)
    {
        m_buffer += bytes;
        if (m_buffer.size() >= 1 << 16)
            flush();
    }
    Result<ExportCount> finish(ExportCount count)
    {
        flush();
        if (auto* file = qobject_cast<QFileDevice*>(&m_out); file && m_failed.isEmpty())
            if (!file->flush())
                m_failed = file->errorString();
        if (!m_failed.isEmpty())
            return Failure(QStringLiteral("Cannot write %1: %2").arg(name(), m_failed));
        return count;
    }

private:
    void flush()
    {
        if (m_failed.isEmpty() && !m_buffer.isEmpty() && m_out.write(m_buffer) != m_buffer.size())
            m_failed = m_out.errorString();
        m_buffer.clear();
    }
    QString name() const
    {
        const auto* file = qobject_cast<const QFileDevice*>(&m_out);
        return file ? file->fileName() : QStringLiteral("the output");
    }
    QIODevice& m_out;
    QByteArray m_buffer;
    QString m_failed;
};

// Identifier codes of printable ASCII, as short as they can be.
QByteArray vcdCode(int n)
{
    QByteArray code;
    do {
        code += char('!' + n % 94);
        n /= 94;
    } while (n > 0);
    return code;
}

// Words of a VCD's $comment end at a word "$end": the log's name may hold one.
QString commentSafe(QString text)
{
    return text.replace(QLatin1String("$end"), QLatin1String("$ end"));
}

QByteArray speedBits(const QString& text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < 0 || v >= (1 << kSpeedBits))
        return "bx";
    return "b" + QByteArray::number(v, 2);
}

QByteArray csvBytes(QByteArray bytes)
{
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\r') &&
        !bytes.contains('\n'))
        return bytes;
    bytes.replace("\"", "\"\"");
    return '"' + bytes + '"';
}

QByteArray csvField(const QString& text)
{
    return csvBytes(text.toLatin1());
}

// A note for a Latin-1 CSV: control characters and the backslash as \xHH, Latin-1 kept,
// anything else as \x{HHHH}.
QByteArray csvNoteText(const QString& text)
{
    QByteArray out;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == '\\' || (u >= 0x7f && u < 0xa0))
            out += "\\x" + QByteArray::number(u, 16).rightJustified(2, '0');
        else if (u <= 0xff)
            out += char(u);
        else
            out += "\\x{" + QByteArray::number(u, 16).rightJustified(4, '0') + '}';
    }
    return out;
}

// Something sent or noted, in the log's order, as the exports write it.
struct Extra {
    qint64 offset;
    std::optional<qint64> ms; // when sent; a note is at its line's time
    bool note;
    QByteArray text; // raw: each export escapes it its own way
    QString noteText;
};

std::vector<Extra> extrasInOrder(const ExportExtras& extras)
{
    std::vector<Extra> all;
    if (extras.sent)
        for (const SentPiece& p : *extras.sent)
            if (p.source != sent::Source::Poll)
                all.push_back({p.offset,
                               p.ms,
                               false,
                               p.text.isEmpty() ? '(' + sent::sourceWord(p.source) + ')' : p.text,
                               {}});
    if (extras.notes)
        for (const Note& n : *extras.notes)
            all.push_back({n.offset, std::nullopt, true, n.text.toUtf8(), n.text});
    std::stable_sort(all.begin(), all.end(),
                     [](const Extra& a, const Extra& b) { return a.offset < b.offset; });
    return all;
}

QString shownCell(const QString& cell)
{
    return cell.trimmed();
}

// The time of a byte for a column or a stamp: capture time, or the line without one.
struct Clock {
    const LogIndex& index;
    bool timed() const { return index.times().valid(); }
    qint64 start() const { return timed() ? *index.times().firstMs() : 0; }
    qint64 at(const LogPlace& p) const
    {
        return timed() ? *index.times().timeAt(p.offset) : p.line;
    }
};
} // namespace

ExportExtras ExportExtras::beside(const LogIndex& index)
{
    ExportExtras extras;
    const SentLog sent = SentLog::forLog(index.path(), index.bytes());
    if (sent.valid())
        extras.sent = sent.pieces();
    else if (sent.present())
        extras.notices << sent.notice();
    const Notes notes = Notes::forLog(index.path(), index.bytes());
    if (notes.valid() && notes.present())
        extras.notes = notes.notes();
    else if (notes.present())
        extras.notices << notes.notice();
    return extras;
}

QByteArray vcdString(QByteArrayView text)
{
    return sent::escaped(text).replace(' ', "\\x20");
}

char cellBit(const QString& cell)
{
    const QString v = cell.trimmed();
    return v == u"0" ? '0' : v == u"1" ? '1' : 'x';
}

QString csvColumnName(int cell)
{
    const DumpCell& c = dumpCells()[size_t(cell)];
    const QString place = QStringLiteral("c%1r%2").arg(c.line <= 4 ? c.line : 5).arg(c.cell);
    const QString name = signalName(cell);
    return name == place ? place : name + u'_' + place;
}

Result<ExportCount> writeVcd(const LogIndex& index, QIODevice& out, const QString& generator,
                             const ExportExtras& extras)
{
    Writer w(out);
    const Clock clock{index};
    const QString log = commentSafe(QFileInfo(index.path()).fileName());
    w.put("$date\n   " +
          (clock.timed() ? isoTime(clock.start()) : QStringLiteral("unknown")).toLatin1() +
          "\n$end\n$version\n   " + generator.toLatin1() + "\n$end\n$comment\n   " +
          (clock.timed()
               ? QStringLiteral("PMI dump signals of %1; time 0 is %2 (its capture times)")
                     .arg(log, isoTime(clock.start()))
               : QStringLiteral("PMI dump signals of %1; one time unit per line: %2")
                     .arg(log, commentSafe(index.times().notice())))
              .toLatin1() +
          "\n$end\n$timescale 1 ms $end\n$scope module car $end\n");
    for (int i = 0; i < kGridCells; ++i)
        w.put("$var wire 1 " + vcdCode(i) + ' ' + signalName(i).toLatin1() + " $end\n");
    const QByteArray speedCode = vcdCode(kGridCells);
    w.put("$var reg " + QByteArray::number(kSpeedBits) + ' ' + speedCode + " speed $end\n");
    ExportCount count{kGridCells + 1, 0};
    const QByteArray sentCode = vcdCode(kGridCells + 1);
    const QByteArray noteCode = vcdCode(kGridCells + 2);
    for (const auto& [there, code, name] : {std::tuple{bool(extras.sent), sentCode, "sent"},
                                            std::tuple{bool(extras.notes), noteCode, "note"}})
        if (there) {
            w.put("$var string 1 " + code + ' ' + name + " $end\n");
            ++count.signalCount;
        }
    w.put("$upscope $end\n$enddefinitions $end\n#0\n$dumpvars\n");
    for (int i = 0; i < kGridCells; ++i)
        w.put('x' + vcdCode(i) + '\n');
    w.put("bx " + speedCode + "\n$end\n");

    qint64 stamp = 0;
    // A time before the last one written (a sender's clock behind the log's) is that one.
    const auto stampAt = [&](qint64 t) {
        if (t > stamp) {
            stamp = t;
            w.put('#' + QByteArray::number(t) + '\n');
        }
    };
    const auto at = [&](const LogPlace& p) { stampAt(clock.at(p) - clock.start()); };
    const std::vector<Extra> all = extrasInOrder(extras);
    size_t e = 0;
    const auto extra = [&] {
        const Extra& x = all[e++];
        const qint64 byte = qBound(qint64(0), x.offset, qMax(qint64(0), index.bytes() - 1));
        if (clock.timed() && x.ms) {
            stampAt(*x.ms - clock.start());
        } else if (clock.timed()) {
            stampAt(index.times().timeAt(byte).value_or(clock.start()) - clock.start());
        } else {
            const Result<qint64> line = index.lineAt(byte);
            stampAt(line ? *line : stamp);
        }
        w.put('s' + vcdString(x.text) + ' ' + (x.note ? noteCode : sentCode) + '\n');
        ++count.changes;
    };
    std::array<char, kGridCells> bits;
    bits.fill('x');
    QByteArray speed = "bx";
    qsizetype s = 0;
    // The speeds reported before a byte, and what was sent or noted up to it, in order.
    const auto speedsBefore = [&](qint64 offset) {
        for (; s < index.count(LogIndex::Event::Speed); ++s) {
            const LogPlace p = index.place(LogIndex::Event::Speed, s);
            for (; e < all.size() && all[e].offset <= p.offset && all[e].offset <= offset;)
                extra();
            if (p.offset >= offset)
                break;
            const QByteArray v = speedBits(index.speedText(s));
            if (v != speed) {
                speed = v;
                at(p);
                w.put(v + ' ' + speedCode + '\n');
                ++count.changes;
            }
        }
        while (e < all.size() && all[e].offset <= offset)
            extra();
    };
    Result<> walked = done();
    walked = index.walkDumps([&](qsizetype d, const auto& cells, const std::vector<int>& changed) {
        const LogPlace p = index.place(LogIndex::Event::Dump, d);
        speedsBefore(p.offset);
        bool stamped = false;
        for (int c : changed) {
            const char bit = cellBit(cells[size_t(c)]);
            if (bit == bits[size_t(c)])
                continue;
            bits[size_t(c)] = bit;
            if (!stamped)
                at(p);
            stamped = true;
            w.put(bit + vcdCode(c) + '\n');
            ++count.changes;
        }
        return true;
    });
    if (!walked)
        return Failure(walked.why());
    speedsBefore(index.bytes());
    while (e < all.size())
        extra();
    return w.finish(count);
}

Result<ExportCount> writeCsv(const LogIndex& index, QIODevice& out, const ExportExtras& extras)
{
    Writer w(out);
    const Clock clock{index};
    QByteArray header = "time,line";
    for (int i = 0; i < kGridCells; ++i)
        header += ',' + csvField(csvColumnName(i));
    header += ",speed";
    if (extras.sent)
        header += ",sent";
    if (extras.notes)
        header += ",note";
    w.put(header + "\r\n");
    const std::vector<Extra> all = extrasInOrder(extras);
    size_t e = 0;
    qsizetype s = 0;
    QString speed;
    Result<> walked = done();
    walked = index.walkDumps([&](qsizetype d, const auto& cells, const std::vector<int>&) {
        const LogPlace p = index.place(LogIndex::Event::Dump, d);
        for (; s < index.count(LogIndex::Event::Speed); ++s) {
            if (index.place(LogIndex::Event::Speed, s).offset >= p.offset)
                break;
            speed = index.speedText(s).trimmed();
        }
        QByteArray row =
            clock.timed() ? isoTime(clock.at(p)).toLatin1() : QByteArray::number(p.line);
        row += ',' + QByteArray::number(p.line);
        for (const QString& cell : cells)
            row += ',' + csvField(shownCell(cell));
        row += ',' + csvField(speed);
        QByteArrayList sentHere, notedHere;
        for (; e < all.size() && all[e].offset <= p.offset; ++e)
            all[e].note ? notedHere << csvNoteText(all[e].noteText)
                        : sentHere << sent::escaped(all[e].text);
        if (extras.sent)
            row += ',' + csvBytes(sentHere.join('\n'));
        if (extras.notes)
            row += ',' + csvBytes(notedHere.join('\n'));
        w.put(row + "\r\n");
        return true;
    });
    if (!walked)
        return Failure(walked.why());
    return w.finish({kGridCells + 1 + int(bool(extras.sent)) + int(bool(extras.notes)),
                     index.count(LogIndex::Event::Dump)});
}

} // namespace vantrel
