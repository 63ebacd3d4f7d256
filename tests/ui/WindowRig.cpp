#include "ui/WindowRig.h"

#include <fstream>

namespace orvalt::testing {

std::filesystem::path WindowRig::WritePlan(const std::string& name,
                                           const std::vector<std::string>& lines) {
    const std::filesystem::path file = Folder() / name;
    std::ofstream out(file, std::ios::binary);
    for (const std::string& line : lines) {
        out << line << "\r\n";
    }
    return file;
}

void WindowRig::LoadPlan(const std::vector<std::string>& lines) {
    answers.push_back(WritePlan("plan.csv", lines).string());
    Press(IDC_OPEN);
}

QString WindowRig::Cell(int row, int column) const {
    const auto* view = Control<QAbstractItemView>(IDC_TEST_LIST);
    return view->model()->index(row, column).data().toString();
}

QStringList WindowRig::Rows(int listId) const {
    const QAbstractItemModel* model = Control<QAbstractItemView>(listId)->model();
    QStringList rows;
    for (int row = 0; row < model->rowCount(); ++row) {
        rows << model->index(row, 0).data().toString();
    }
    return rows;
}

int WindowRig::CurrentRow(int listId) const {
    return Control<QAbstractItemView>(listId)->currentIndex().row();
}

}  // namespace orvalt::testing
