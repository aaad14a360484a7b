#include "ExecSpill.h"

#include "ExecStore.h"
#include "Paths.h"
#include "SafeWrite.h"

#include <cerrno>
#include <system_error>

namespace kest {

namespace {

// Gathered rows are written at the end of a row once there are this many bytes of them.
constexpr std::size_t WriteAtBytes = std::size_t(1) << 19;

} // namespace

void ExecSpill::setFolder(const QString &folder)
{
    folder_ = folder;
    if (swept_ == folder)
        return;
    swept_ = folder;
    RemoveLeftBehind(JoinPath(folder, CsvOutputFileName));
    RemoveLeftBehind(JoinPath(folder, SpillFile::NamedFile));
}

void ExecSpill::begin(const ExecStore &store)
{
    discard();
    if (!file_.open(folder_))
        fail();
    csv_ = std::make_unique<CsvFormatter>([this](const char *data, std::size_t size) { return file_.append(data, size); });
    for (int64_t r = 0; r < store.rowCount(); ++r) {
        const int columns = store.columnCount(r);
        for (int c = 0; c < columns; ++c)
            if (!csv_->cell(store.cell(r, c)))
                fail();
        if (!csv_->endRow())
            fail();
        rowEnded();
    }
}

void ExecSpill::appendRow(const char *const *texts, const int32_t *lengths, int count)
{
    if (!csv_ || !csv_->row(texts, lengths, count))
        fail();
    rowEnded();
}

void ExecSpill::rowEnded()
{
    ++rows_;
    // The formatter hands its text on wherever in a row its block fills, and a cell larger than
    // the block goes straight to the file: once the file grew during a row, the rest of the row
    // is written too, so that the file ends with a whole row again and the mark follows it.
    if (csv_->gathered() >= WriteAtBytes || file_.size() != bytesOnDisk_)
        writeGathered();
}

void ExecSpill::finish()
{
    if (csv_)
        writeGathered();
    csv_.reset();
}

void ExecSpill::writeGathered()
{
    if (!csv_->flush())
        fail();
    rowsOnDisk_ = rows_;
    bytesOnDisk_ = file_.size();
}

void ExecSpill::fail()
{
    const int error = file_.error();
    csv_.reset();
    // Whatever came after the last whole row goes; a file that cannot be cut back goes whole.
    if (file_.isOpen() && !file_.truncate(bytesOnDisk_))
        discard();
    rows_ = rowsOnDisk_;
    if (error == ENOSPC || error == EDQUOT || error == EFBIG)
        throw DiskFailure("Disk full");
    // A data folder that could not be made says why, as a database that cannot be opened there does.
    const QString why = DataFolderFailure(folder_);
    throw DiskFailure("Cannot write to " + folder_.toStdString() + ": " + std::generic_category().message(error) +
                      (why.isEmpty() ? std::string() : "; " + why.toStdString()));
}

bool ExecSpill::saveAs(const QString &path, const std::function<void()> &letMessagesRun)
{
    return file_.saveAs(path, letMessagesRun);
}

void ExecSpill::discard()
{
    csv_.reset();
    file_.close();
    rows_ = rowsOnDisk_ = bytesOnDisk_ = 0;
}

} // namespace kest
