#include "ResultsDelegate.h"

#include "ResultsModel.h"

namespace kest {

ResultsDelegate::ResultsDelegate(const ResultsModel &model, QObject *parent) : QStyledItemDelegate(parent), model_(model) {}

void ResultsDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    // Only a cell that reads as NULL can be one; most do not.
    if (option->text != ResultsModel::NullText || model_.cellValue(index.row(), index.column()).type != CellType::Null)
        return;
    option->font.setItalic(true);
    // The colour of a field's placeholder text, in every colour group; a selected cell keeps the
    // selection's own.
    option->palette.setBrush(QPalette::Text, option->palette.brush(QPalette::PlaceholderText));
}

} // namespace kest
