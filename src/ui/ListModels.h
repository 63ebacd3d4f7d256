#pragma once
// Qt item models over rows the core keeps: the test list and the log of the
// WindowModel, and the diagnostic rows of the DiagView. They copy nothing: a
// view asks for the rows it paints. Each publishes a row count of its own, so
// that the count a view knows always matches what it was told, even while the
// core's rows have already moved on.

#include <QAbstractListModel>
#include <QAbstractTableModel>
#include <deque>
#include <string>

#include "execution/WindowModel.h"

namespace orvalt {

// The test list: nine columns, "Test", "P1".."P6", "Wait", "Status".
class TestListModel final : public QAbstractTableModel {
  public:
    explicit TestListModel(const WindowModel& model) : model_(model) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void RowsReplaced();
    void CellChanged(int row, int column);

  private:
    const WindowModel& model_;
    int shownRows_ = 0;
};

// A one-column list whose views learn of new rows only when told.
class ShownRowsModel : public QAbstractListModel {
  public:
    int rowCount(const QModelIndex& parent = {}) const override;
    void Cleared();

  protected:
    // Tells the views of the rows from the shown count up to `rows`; false
    // when there were none.
    bool ShowRowsUpTo(int rows);
    int ShownRows() const { return shownRows_; }

  private:
    int shownRows_ = 0;
};

// The log: one line a row, oldest first. New lines are taken in batches by
// Publish, so that a flood of lines costs one view update per batch.
class LogListModel final : public ShownRowsModel {
  public:
    explicit LogListModel(const WindowModel& model) : model_(model) {}

    QVariant data(const QModelIndex& index, int role) const override;

    // Shows the lines added since the last call; false when there were none.
    bool Publish();

  private:
    const WindowModel& model_;
};

// The diagnostic rows: the newest 400 lines, shown byte for byte.
class DiagRowsModel final : public ShownRowsModel {
  public:
    explicit DiagRowsModel(const std::deque<std::string>& rows) : rows_(rows) {}

    QVariant data(const QModelIndex& index, int role) const override;

    // After a line was kept: the rows grew, or (when full) moved up one.
    void LineAdded();

  private:
    const std::deque<std::string>& rows_;
};

}  // namespace orvalt
