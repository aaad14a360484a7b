#pragma once
// The whole value of one cell of the results list, which shows only a cell's start: read-only
// and selectable, wrapped or not, with its type and its length in characters and in bytes of
// UTF-8 (a REAL also exactly, when its 15 digits do not say it). A text that parses as a JSON
// object or array is shown indented, unless indenting would make it many times as long (a deep
// value) or would not fit in the memory budget: then a word says so. A BLOB shows as hex,
// whatever its bytes, 16 a line. Copy puts the whole value, as the cell holds it, on the
// clipboard; Close or Esc closes the viewer.
//
// The editor lays a line out in time that grows with its length and more, so a long value is
// shown a part at a time (Previous and Next part): a value of 100 MB opens at once.

#include "engine/MemoryBudget.h"
#include "files/CellValue.h"

#include <QByteArray>
#include <QDialog>

#include <vector>

class QAbstractItemModel;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace kest {

class ResultsCopy;

class CellViewer : public QDialog {
    Q_OBJECT
public:
    // The most bytes of UTF-8 shown at a time.
    static constexpr qsizetype PartBytes = 64 * 1024;
    // Larger values are not tried as JSON: parsing them would keep the viewer from opening at once.
    static constexpr qsizetype LargestIndentedJson = 4 * 1024 * 1024;

    // `value` is a cell of `model`, shown and copied from where the model keeps it: a copy of
    // 100 MB took half a second, most of it the system's fresh pages. The viewer closes before
    // the model's rows or columns go.
    CellViewer(QWidget *parent, const QString &title, const CellValue &value, const QAbstractItemModel &model,
               ResultsCopy &copy);
    ~CellViewer() override;

    // The start of its title.
    static const QString Title;
    // What its Copy says when the value's text does not fit in the memory budget.
    static const QString CopyTooLargeMessage;

private:
    QString indentJson(MemoryBudget *budget);
    QString about(const CellValue &value) const;
    QString hexOf(qsizetype from, qsizetype to) const;
    void showPart(int part);
    void setWrapped(bool wrapped);

    QByteArray value_; // the model's bytes, not copied
    // A BLOB's: where parts_ count its bytes, spelt by value_'s hex digits in its hex form.
    bool blob_ = false;
    bool hexForm_ = false;
    // The value indented as JSON, counted against the memory budget.
    BudgetedArray<char> indented_;
    // What is shown: the value, or indented_.
    QByteArray shown_;
    // Where each part of shown_ (or of a BLOB's bytes) starts, its size last.
    std::vector<qsizetype> parts_;
    int part_ = 0;
    // The part shown has a line too long to be broken at words.
    bool longLine_ = false;
    QPlainTextEdit *text_;
    QCheckBox *wrap_;
    // Only for a value shown in parts.
    QLabel *partLabel_ = nullptr;
    QPushButton *previous_ = nullptr;
    QPushButton *next_ = nullptr;
};

} // namespace kest
