#include "ui/ListModels.h"

#include <array>

namespace orvalt {

namespace {

constexpr int kTestListColumns = 9;
constexpr std::array<const char*, kTestListColumns> kTestListTitles{
    "Test", "P1", "P2", "P3", "P4", "P5", "P6", "Wait", "Status"};

bool IsDisplay(const QModelIndex& index, int role, int rows) {
    return role == Qt::DisplayRole && index.isValid() && index.row() < rows;
}

}  // namespace

int TestListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownRows_;
}

int TestListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kTestListColumns;
}

QVariant TestListModel::data(const QModelIndex& index, int role) const {
    const int rows = std::min(shownRows_, static_cast<int>(model_.TestRows().size()));
    if (!IsDisplay(index, role, rows)) {
        return {};
    }
    const auto& row = model_.TestRows()[static_cast<std::size_t>(index.row())];
    return QString::fromStdString(row[static_cast<std::size_t>(index.column())]);
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

int LogListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownRows_;
}

QVariant LogListModel::data(const QModelIndex& index, int role) const {
    const int rows = std::min(shownRows_, static_cast<int>(model_.LogLines().size()));
    if (!IsDisplay(index, role, rows)) {
        return {};
    }
    return QString::fromStdString(model_.LogLines()[static_cast<std::size_t>(index.row())]);
}

bool LogListModel::Publish() {
    const int lines = static_cast<int>(model_.LogLines().size());
    if (lines <= shownRows_) {
        return false;
    }
    beginInsertRows({}, shownRows_, lines - 1);
    shownRows_ = lines;
    endInsertRows();
    return true;
}

void LogListModel::Cleared() {
    beginResetModel();
    shownRows_ = 0;
    endResetModel();
}

int DiagRowsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownRows_;
}

QVariant DiagRowsModel::data(const QModelIndex& index, int role) const {
    const int rows = std::min(shownRows_, static_cast<int>(rows_.size()));
    if (!IsDisplay(index, role, rows)) {
        return {};
    }
    const std::string& row = rows_[static_cast<std::size_t>(index.row())];
    return QString::fromLatin1(row.data(), static_cast<qsizetype>(row.size()));
}

void DiagRowsModel::LineAdded() {
    const int rows = static_cast<int>(rows_.size());
    if (rows > shownRows_) {
        beginInsertRows({}, shownRows_, rows - 1);
        shownRows_ = rows;
        endInsertRows();
        return;
    }
    if (rows == 0) {
        return;
    }
    // Full: every row now holds its successor's text.
    emit dataChanged(index(0), index(rows - 1), {Qt::DisplayRole});
}

void DiagRowsModel::Cleared() {
    beginResetModel();
    shownRows_ = 0;
    endResetModel();
}

}  // namespace orvalt
