#pragma once
// How the results list draws a cell: as the model's roles say (numbers to the right), and SQL
// NULL, which the model gives as a word, dimmed and in italics, so that it stands apart from a
// text that reads the same.

#include <QStyledItemDelegate>

namespace kest {

class ResultsModel;

class ResultsDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    ResultsDelegate(const ResultsModel &model, QObject *parent);

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    const ResultsModel &model_;
};

} // namespace kest
