#pragma once

// 椭球与分带: the national system of the plane coordinates — ellipsoid, zone width, whether
// Y carries the zone number — and an optional seven-parameter shift from WGS84 to its datum,
// with the zone's central meridian, which a zone number in Y must fit. A choice that does not
// fit keeps the dialog open with everything as chosen, and offers the meridian of the chosen
// zone width at the map window's centre.

#include "app/dialogs.h"
#include "geodesy/zone_projection.h"

#include <QDialog>

#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace keldarn::app {

class ProjectionDialog : public QDialog {
    Q_OBJECT

public:
    ProjectionDialog(QWidget* owner, const ProjectionRequest& request);

    // What the fields say; nothing while a datum field is not a number (the dialog says so).
    std::optional<geodesy::ProjectionChoice> Choice() const;
    std::optional<ProjectionAnswer> Answer() const;

    void accept() override;

private:
    // The refusal of a zone number on a meridian that no zone of the chosen width has.
    void Refuse(const QString& reason, const geodesy::ProjectionChoice& choice);
    void ClearRefusal();

    std::optional<double> viewCentreLonDeg_;
    double offeredMeridianDeg_ = 0.0;
    QComboBox* ellipsoid_;
    QComboBox* zoneWidth_;
    QComboBox* zoneNumber_;
    QLineEdit* meridian_;
    QPushButton* offer_;
    QGroupBox* datum_;
    std::array<QLineEdit*, 7> datumFields_{};
    QComboBox* convention_;
    QLabel* error_;
};

// One line for the projection page: "CGCS2000，6°带，Y含带号，七参数".
QString DescribeProjection(const geodesy::ProjectionChoice& choice);

}  // namespace keldarn::app
