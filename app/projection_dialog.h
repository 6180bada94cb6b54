#pragma once

// 椭球与分带: the national system of the plane coordinates — ellipsoid, zone width, whether
// Y carries the zone number — and an optional seven-parameter shift from WGS84 to its datum.

#include "geodesy/zone_projection.h"

#include <QDialog>

#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;

namespace keldarn::app {

class ProjectionDialog : public QDialog {
    Q_OBJECT

public:
    ProjectionDialog(QWidget* owner, const geodesy::ProjectionChoice& current);

    // What the fields say; nothing while a datum field is not a number (the dialog says so).
    std::optional<geodesy::ProjectionChoice> Choice() const;

    void accept() override;

private:
    QComboBox* ellipsoid_;
    QComboBox* zoneWidth_;
    QComboBox* zoneNumber_;
    QGroupBox* datum_;
    std::array<QLineEdit*, 7> datumFields_{};
    QComboBox* convention_;
    QLabel* error_;
};

// One line for the projection page: "CGCS2000，6°带，Y含带号，七参数".
QString DescribeProjection(const geodesy::ProjectionChoice& choice);

}  // namespace keldarn::app
