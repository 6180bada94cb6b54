#pragma once

// 四参数求解: control points known on the Gauss–Krüger plane (or by latitude and longitude)
// and in the surveyor's grid, the four parameters and dH solved from them with each point's
// residuals, and "应用" handing the values to the transformation page.

#include "app/dialogs.h"
#include "geodesy/control_points.h"
#include "geodesy/zone_projection.h"
#include "points/control_point_file.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QTableWidget;

namespace keldarn::app {

// The table as the user left it, cell texts as typed (a typo is kept for the next time).
struct ControlPointSheet {
    points::ControlSourceKind kind = points::ControlSourceKind::Plane;
    bool heightPlane = false;
    struct Row {
        QStringList cells;  // name, source A, B, H, target X, Y, H
        bool used = true;
    };
    std::vector<Row> rows;
};

struct ControlPointsRequest {
    ControlPointSheet sheet;                         // as it was left last time
    QString centralMeridianText;                     // the projection page's L0, as typed (may be empty)
    geodesy::ProjectionChoice projection;            // the national system latitudes are projected in
    std::vector<points::ControlPointRow> fromTable;  // plane sources of the selected table rows
};

struct ControlPointsOutcome {
    ControlPointSheet sheet;                           // as the user leaves it
    std::optional<geodesy::FourParameterSet> applied;  // what "应用" hands over, if pressed
};

class ControlPointsDialog : public QDialog {
    Q_OBJECT

public:
    ControlPointsDialog(QWidget* owner, Dialogs& dialogs, const ControlPointsRequest& request);

    ControlPointsOutcome Outcome() const;
    // The rows as they read now; throws ControlPointError naming the row for a cell that is
    // not a number.
    points::ControlPointList ReadRows() const;
    // 计算: solves and shows the residuals; false (after a message) when it cannot.
    bool Solve();
    QTableWidget* Table() const { return table_; }
    QLabel* Result() const { return result_; }

private:
    void ShowRows(const points::ControlPointList& list);
    void AddRow(const points::ControlPointRow& row);
    // A row of cells at row r, or at the end for r < 0.
    void AddCells(const QStringList& cells, bool used, int r = -1);
    // As AddCells, into the first empty row of the empty ones that end the table.
    void FillRow(const QStringList& cells, bool used);
    bool IsBlankRow(int r) const;
    void ClearResiduals();
    void ShowSolution(const geodesy::ControlSolution& solution, const points::ControlPointList& list);
    void Paste();
    void ImportFile();
    void SaveFile();
    void TakeFromTable();
    void SolveClicked();
    void Apply();
    void ShowError(const QString& text);

    Dialogs& dialogs_;
    QString centralMeridianText_;
    geodesy::ProjectionChoice projection_;
    std::vector<points::ControlPointRow> fromTable_;
    QComboBox* kind_;
    QCheckBox* heightPlane_;
    QTableWidget* table_;
    QLabel* result_;
    std::optional<geodesy::ControlSolution> solution_;
    std::optional<geodesy::FourParameterSet> applied_;
};

}  // namespace keldarn::app
