#include "ui/ListModels.h"

#include <array>

namespace orvalt {

namespace {

constexpr int kTestListColumns = 9;
constexpr std::array<const char*, kTestListColumns> kTestListTitles{
    "Test", "P1", "P2", "P3", "P4", "P5", "P6", "Wait", "Status"};

// The row a view asks to display, or null: a row the view was not told of,
// or one the core no longer keeps, shows nothing.
template <class Rows>
const typename Rows::value_type* DisplayedRow(const QModelIndex& index, int role, int shownRows,
                                              const Rows& rows) {
    const int kept = std::min(shownRows, static_cast<int>(rows.size()));
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= kept) {
        return nullptr;
    }
    return &rows[static_cast<std::size_t>(index.row())];
}

}  // namespace

int TestListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownRows_;
}

int TestListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kTestListColumns;
}

QVariant TestListModel::data(const QModelIndex& index, int role) const {
    const TestRowTexts* row = DisplayedRow(index, role, shownRows_, model_.TestRows());
    if (row == nullptr) {
        return {};
    }
    return QString::fromStdString((*row)[static_cast<std::size_t>(index.column())]);
}

QVariant TestListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kTestListColumns) {
        return {};
    }
    return QString::fromLatin1(kTestListTitles[static_cast<std::size_t>(section)]);
}

void TestListModel::RowsReplaced() {
    beginResetModel();
    shownRows_ = static_cast<int>(model_.TestRows().size());
    endResetModel();
}

void TestListModel::CellChanged(int row, int column) {
    const QModelIndex cell = index(row, column);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

int ShownRowsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownRows_;
}

void ShownRowsModel::Cleared() {
    beginResetModel();
    shownRows_ = 0;
    endResetModel();
}

bool ShownRowsModel::ShowRowsUpTo(int rows) {
    if (rows <= shownRows_) {
        return false;
    }
    beginInsertRows({}, shownRows_, rows - 1);
    shownRows_ = rows;
    endInsertRows();
    return true;
}

QVariant LogListModel::data(const QModelIndex& index, int role) const {
    const std::string* line = DisplayedRow(index, role, ShownRows(), model_.LogLines());
    if (line == nullptr) {
        return {};
    }
    return QString::fromStdString(*line);
}

bool LogListModel::Publish() {
    return ShowRowsUpTo(static_cast<int>(model_.LogLines().size()));
}

QVariant DiagRowsModel::data(const QModelIndex& index, int role) const {
    const std::string* row = DisplayedRow(index, role, ShownRows(), rows_);
    if (row == nullptr) {
        return {};
    }
    return QString::fromLatin1(row->data(), static_cast<qsizetype>(row->size()));
}

void DiagRowsModel::LineAdded() {
    const int rows = static_cast<int>(rows_.size());
    if (ShowRowsUpTo(rows) || rows == 0) {
        return;
    }
    // Full: every row now holds its successor's text.
    emit dataChanged(index(0), index(rows - 1), {Qt::DisplayRole});
}

}  // namespace orvalt
