// Point table commands of the main window: the two adoptions and the two table
// commands of the data collection menu.

#include "app/main_window.h"
#include "geodesy/central_meridian.h"
#include "geodesy/number_text.h"
#include "geodesy/survey_conversion.h"
#include "points/point_name.h"
#include "points/point_table_model.h"

#include <QLineEdit>
#include <QTableView>

namespace keldarn::app {

namespace {

std::string Utf8(const QLineEdit* field) { return field->text().toStdString(); }

QString GridText(double metres)
{
    return QString::fromStdString(geodesy::FormatGridCoordinate(metres));
}

}  // namespace

geodesy::ZoneProjection TFormMain::CurrentProjection() const
{
    return geodesy::ZoneProjection(geodesy::ReadCentralMeridian(Utf8(EditLL)), projection_);
}

survey::SurveyFrame TFormMain::CurrentSurveyFrame() const
{
    return {geodesy::ReadCentralMeridian(Utf8(EditLL)), CurrentTransform(), projection_};
}

geodesy::FourParamCoefficients TFormMain::CurrentTransform() const
{
    const std::string dx = Utf8(EditXdis), dy = Utf8(EditYdis), rot = Utf8(EditRot), scale = Utf8(EditSca),
                      dH = Utf8(EditHdis);
    return geodesy::MakeFourParamCoefficients(geodesy::ReadFourParameters({dx, dy, rot, scale, dH}));
}

void TFormMain::AppendAdoptedRow(const QString& name, const QString& description, const QString& x, const QString& y,
                                 const QString& h)
{
    const int gridRow = pointTable_->AppendRow({name, description, x, y, h});
    pointTable_->SetHeaderFixed(true);
    const QModelIndex index = pointTable_->index(gridRow - 1, points::kNameColumn);
    StringGrid1->setCurrentIndex(index);
    StringGrid1->scrollTo(index);
}

void TFormMain::Button3Click()
{
    // The picked point is adopted exactly as the read-only fields show it.
    const QString name = EditNam->text();
    const QString next = QString::fromStdString(points::NextPointName(name.toStdString()));
    AppendAdoptedRow(name, EditDec->text(), EditX->text(), EditY->text(), EditH->text());
    EditNam->setText(next);
    for (QLineEdit* field : {EditX, EditY, EditH})
        field->setText(QStringLiteral("0"));
}

void TFormMain::Button1Click()
{
    // Every text is read and converted before anything changes: a field that does not
    // convert stops the command with the table and the fields as they were.
    const double L0 = geodesy::ReadCentralMeridian(Utf8(EditLL));
    const double B = geodesy::ParseNumber(Utf8(EditLat));
    const double L = geodesy::ParseNumber(Utf8(EditLon));
    const double H = geodesy::ParseNumber(Utf8(EditH1));
    geodesy::RequireOnTheGlobe(B, L);
    const geodesy::GridPoint grid =
        survey::SurveyFrame(L0, CurrentTransform(), projection_).ToGrid({.latDeg = B, .lonDeg = L}, H);

    const QString name = EditNam1->text();
    const QString next = QString::fromStdString(points::NextPointName(name.toStdString()));
    AppendAdoptedRow(name, EditDec1->text(), GridText(grid.x), GridText(grid.y), GridText(grid.h));
    EditNam1->setText(next);
    for (QLineEdit* field : {EditLat, EditLon, EditH1})
        field->setText(QStringLiteral("0"));
}

void TFormMain::N1Click()
{
    const QModelIndex current = StringGrid1->currentIndex();
    if (!current.isValid())
        return;
    pointTable_->RemoveGridRow(current.row() + 1);
}

void TFormMain::N3Click()
{
    pointTable_->Clear();
}

}  // namespace keldarn::app
