#pragma once

#include "linefile.h"

#include <QObject>
#include <QString>

#include <memory>

namespace vantrel
{

// Reads a capture log a few lines ahead on a thread of its own, so that a line of
// gigabytes or a log on a slow medium never holds up the window: the window takes a
// line once it has been read, and hears lineArrived when it found none waiting.
class LogReader final : public QObject
{
    Q_OBJECT
public:
    static constexpr int kLinesAhead = 32;

    explicit LogReader(std::shared_ptr<LineFile> file, QObject* parent = nullptr);
    // Stops reading; a read in progress ends at its next block, on its own.
    ~LogReader() override;

    // Whether the next result is known.
    bool ready() const;
    // The next result, once ready: a line, the end, or a failure with its reason.
    // Taking a line moves on to the next; the end and a failure stay.
    LineRead peek() const;
    LineRead take();

Q_SIGNALS:
    void lineArrived();

private:
    struct Shared;
    static void work(std::shared_ptr<Shared> shared);
    std::shared_ptr<Shared> m_shared;
};

} // namespace vantrel
