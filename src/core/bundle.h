#pragma once

#include "result.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace vantrel
{

// A capture bundle: one zip file holding a capture log and what lies beside it (its
// capture times, what was sent, the notes) under their own names, for handing a capture
// to someone else. Any zip tool lists and extracts it.
//
// A bundle comes from elsewhere, so unpacking one takes plain files only, each straight
// into the chosen folder (entries with a folder, an absolute path, "..", or links are
// refused), never overwrites a file, and stops before the files would pass a limit or
// the free space: all of that is checked against what the bundle claims before a byte
// is written, and again against what it really holds while writing.
namespace bundle
{
// The most a bundle may unpack to.
inline constexpr qint64 kExpandLimit = qint64(16) << 30;
// The suffixes of the files that belong with a log.
QStringList companionSuffixes();
// Whether a file is a bundle (starts as a zip file does) rather than a loose log.
bool isBundle(const QString& path);
// Writes the log and those of its companions that exist into a bundle; the bundle is
// written under another name and renamed when complete.
Result<> pack(const QString& logPath, const QString& bundlePath);

struct Unpacked {
    QString log;       // the log's path in the folder
    QStringList files; // every file written, the log first
};
Result<Unpacked> unpack(const QString& bundlePath, const QString& folder,
                        qint64 limit = kExpandLimit);
} // namespace bundle

// A log to read that may be loose or in a bundle: a bundle is unpacked into a temporary
// folder that goes when this does.
class CaptureFiles final
{
public:
    static Result<std::shared_ptr<CaptureFiles>> open(const QString& path);
    // The loose log to read.
    const QString& log() const { return m_log; }
    bool fromBundle() const { return m_dir != nullptr; }

private:
    QString m_log;
    std::unique_ptr<QTemporaryDir> m_dir;
};

} // namespace vantrel
