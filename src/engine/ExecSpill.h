#pragma once
// Exec's rows past those the list shows are not kept in memory: they go to disk as they arrive,
// in the CSV form that the export writes, into a file without a name in the CSV file's folder
// (see SpillFile). The file begins with the shown rows, written from the store when the first
// row past them comes, so it holds every row of the run in order and the export gives it its
// name. Memory holds the shown rows and a block of text, whatever the size of the result. A
// disk that fills ends the run: the rows whole on disk stay, the ones after them are dropped.

#include "Csv.h"
#include "SpillFile.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>

namespace kest {

class ExecStore;

// Rows could not be written: the disk is full, or the folder cannot be written.
class DiskFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ExecSpill {
public:
    // Where the next run's file is made: the CSV file's folder, so that the export is a rename.
    // The first time in a folder, removes what a save or a run cut short there by a kill left.
    void setFolder(const QString &folder);
    // Makes the file and writes the rows of `store` to it. Throws DiskFailure.
    void begin(const ExecStore &store);
    bool active() const { return file_.isOpen(); }
    // Throws DiskFailure; the rows whole on disk before the failure stay.
    void appendRow(const char *const *texts, const int32_t *lengths, int count);
    // Writes the rows still gathered in memory. Throws DiskFailure.
    void finish();
    // The rows whole in the file; 0 when there is none.
    int64_t rowCount() const { return rowsOnDisk_; }
    // The CSV file of every row at `path`, as SpillFile::saveAs saves it.
    bool saveAs(const QString &path, const std::function<void()> &letMessagesRun);
    // Closes the file, which takes it off the disk unless it was saved.
    void discard();

private:
    void rowEnded();
    void writeGathered();
    [[noreturn]] void fail();

    QString folder_;
    QString swept_;
    SpillFile file_;
    std::unique_ptr<CsvFormatter> csv_;
    int64_t rows_ = 0; // formatted, whole on disk or not
    int64_t rowsOnDisk_ = 0;  // the mark: the rows whole in the file,
    int64_t bytesOnDisk_ = 0; // and the file's size at the end of the last of them
};

} // namespace kest
