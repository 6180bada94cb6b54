// Page commands of the main window: page switching, the projection and transformation
// pages, help and About.

#include "app/about_box.h"
#include "app/help_window.h"
#include "app/main_window.h"
#include "app/parameter_import.h"
#include "app/projection_dialog.h"
#include "settings/settings.h"
#include "geodesy/central_meridian.h"
#include "geodesy/gauss_kruger.h"
#include "geodesy/number_text.h"
#include "geodesy/survey_conversion.h"
#include "points/point_table_model.h"

#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QStackedWidget>
#include <QTableView>

#include <set>

namespace keldarn::app {

namespace {

QString Fixed(double value, int decimals)
{
    return QString::fromStdString(geodesy::FormatFixed(value, decimals));
}

// The view fields are typed with the decimal mark of the user's locale: an optional
// sign, digits with at most one decimal mark, an optional exponent, blanks around.
double ParseLocaleNumber(const QString& text)
{
    const QChar mark = QLocale::system().decimalPoint().front();
    QString plain = text;
    if (mark != QLatin1Char('.')) {
        if (plain.contains(QLatin1Char('.')))
            throw geodesy::InvalidNumberError(text.toStdString());
        plain.replace(mark, QLatin1Char('.'));
    }
    try {
        return geodesy::ParseNumber(plain.toStdString());
    } catch (const geodesy::InvalidNumberError&) {
        throw geodesy::InvalidNumberError(text.toStdString());
    }
}

// Whether two texts of the central meridian field name the same L0.
bool SameMeridian(const QString& a, const QString& b)
{
    try {
        return geodesy::ParseNumberOrZero(a.toStdString()) == geodesy::ParseNumberOrZero(b.toStdString());
    } catch (const geodesy::InvalidNumberError&) {
        return a.trimmed() == b.trimmed();
    }
}

// Whether dx, dy, R and m move the plane at all (the page's "all 0: no transformation"); a
// field that does not read counts as set. dH does not depend on the plane.
bool PlaneParametersSet(std::initializer_list<const QLineEdit*> fields)
{
    try {
        for (const QLineEdit* field : fields)
            if (geodesy::ParseNumberOrZero(field->text().toStdString()) != 0.0)
                return true;
        return false;
    } catch (const geodesy::InvalidNumberError&) {
        return true;
    }
}

}  // namespace

void TFormMain::MMapClick()
{
    ShowPage(PageMap);
}
void TFormMain::MHgetClick()
{
    ShowPage(PageHget);
}
void TFormMain::MAddClick()
{
    ShowPage(PageAdd);
}
void TFormMain::MOutClick()
{
    ShowPage(PageOut);
}
void TFormMain::Mset3Click()
{
    ShowPage(PageZbzh);
}

void TFormMain::Mset1Click()
{
    // Proposes the 3-degree zone meridian nearest to the map window's centre.
    if (ViewerPresent()) {
        const double centreLonDeg = viewer_->GetPointOnTerrainFromScreenCoords(0.0, 0.0).Longitude;
        const double zoneMeridianDeg =
            projection_.zoneWidth == geodesy::ZoneWidth::Six
                ? geodesy::ProposeZoneMeridian(centreLonDeg, geodesy::ZoneWidth::Six)
                : geodesy::ProposeZoneMeridian(centreLonDeg);
        EditLo->setText(Fixed(centreLonDeg, 4));
        EditLL->setText(Fixed(zoneMeridianDeg, 4));
        ShowPage(PageSet);
        StatusBar1->setText(tr("中央子午线=%1度").arg(Fixed(zoneMeridianDeg, 4)));
        return;
    }
    ShowPage(PageSet);
}

void TFormMain::Button4Click()
{
    StatusBar1->setText(tr("中央子午线=%1").arg(EditLL->text()));
    Mset3Click();
}

void TFormMain::Button11Click()
{
    Mdata1Click();
}

void TFormMain::Button12Click()
{
    OpenDialog1.title = tr("导入四参数");
    OpenDialog1.filter = QStringLiteral("Text files (*.txt)|*.txt");
    OpenDialog1.defaultSuffix.clear();
    OpenDialog1.fileName.clear();
    const QString path = env_.dialogs->GetOpenFileName(this, OpenDialog1);
    if (path.isEmpty())
        return;
    // The whole file is read before any field changes, so a failed read changes nothing.
    const std::array<std::string, 5> lines = ReadParameterLines(path.toStdString());
    QLineEdit* const fields[] = {EditXdis, EditYdis, EditRot, EditSca, EditHdis};
    for (std::size_t i = 0; i < lines.size(); ++i)
        fields[i]->setText(QString::fromStdString(lines[i]));
}

void TFormMain::Button9Click()
{
    if (!ViewerPresent())
        return;
    // Converted in this order; the first field that does not convert stops the command
    // before the camera moves.
    const double latDeg = ParseLocaleNumber(EditFLat->text());
    const double lonDeg = ParseLocaleNumber(EditFLng->text());
    const double altitudeM = ParseLocaleNumber(EditFAlt->text());
    const double rangeM = ParseLocaleNumber(EditRange->text());
    const double tiltDeg = ParseLocaleNumber(EditTilt->text());
    const double azimuthDeg = ParseLocaleNumber(EditAzi->text());
    geodesy::RequireOnTheGlobe(latDeg, lonDeg);
    viewer_->SetCameraParams(latDeg, lonDeg, altitudeM, earth::AltitudeModeGE::RelativeToGroundAltitudeGE,
                             rangeM, tiltDeg, azimuthDeg, 1.0);
}

void TFormMain::MHelpClick()
{
    if (helpWindow_ == nullptr)
        helpWindow_ = new HelpWindow(this);
    helpWindow_->ShowGuide(env_.helpPath);
}

void TFormMain::MAboutClick()
{
    TAboutBox about(this, *env_.dialogs, env_.versionInfo);
    if (!about.built()) {
        // The program ends, unless the user keeps it open for points not yet exported.
        if (close())
            QCoreApplication::quit();
        return;
    }
    about.exec();
}

void TFormMain::MProjectionClick()
{
    ProjectionRequest request{projection_, EditLL->text(), std::nullopt};
    if (ViewerPresent()) {
        try {
            request.viewCentreLonDeg = viewer_->GetPointOnTerrainFromScreenCoords(0.0, 0.0).Longitude;
        } catch (const std::exception&) {
            // Sky or no terrain at the centre: the dialog offers a zone without the map.
        }
    }
    const auto answer = env_.dialogs->ChooseProjection(this, request);
    if (!answer)
        return;
    const geodesy::ProjectionChoice& choice = answer->choice;
    // A zone number needs L0 to be a zone's meridian: said now, with nothing changed.
    const std::string meridian = answer->centralMeridianText.toStdString();
    if (!geodesy::TrimBlanks(meridian).empty())
        static_cast<void>(geodesy::ZoneProjection(geodesy::ReadCentralMeridian(meridian), choice));
    const bool planeMoved = !geodesy::SamePlane(projection_, choice) ||
                            !SameMeridian(EditLL->text(), answer->centralMeridianText);
    settings::SaveProjectionChoice(env_.settingsPath, choice);
    projection_ = choice;
    EditLL->setText(answer->centralMeridianText);
    LabelProjection->setText(DescribeProjection(projection_));
    // The table's points move on the map with the new system.
    mapPoints_.Invalidate();
    UpdateMapPoints();
    StatusBar1->setText(tr("坐标系：%1").arg(DescribeProjection(projection_)));
    // Four parameters solved on the old plane carry its points, not the new plane's, into the
    // grid: kept without a word they would put every new point off by as much as the planes
    // differ.
    if (planeMoved && PlaneParametersSet({EditXdis, EditYdis, EditRot, EditSca}) &&
        env_.dialogs->AskYesNo(
            this,
            tr("坐标转换页的四参数是在原来的投影平面上求得的；椭球、七参数、Y的带号"
               "或中央子午线改变后，它们不再适用。\n现在打开“四参数求解”，用控制点重新求解吗？"),
            tr("椭球与分带")))
        MControlPointsClick();
}

void TFormMain::MControlPointsClick()
{
    ControlPointsRequest request;
    request.sheet = controlSheet_;
    request.centralMeridianText = EditLL->text();
    request.projection = projection_;
    // Selected table rows are offered as control points on the plane: the current parameters
    // carry them back from the grid. With parameters that do not read, none are offered.
    try {
        const geodesy::FourParamCoefficients transform = CurrentTransform();
        std::set<int> rows;
        for (const QModelIndex& index : StringGrid1->selectionModel()->selectedIndexes())
            rows.insert(index.row() + 1);  // model row r is grid row r + 1, below the title row
        for (const int row : rows) {
            const auto cell = [&](int column) { return pointTable_->Cell(column, row).toStdString(); };
            try {
                const geodesy::GridPoint plane =
                    geodesy::FourParamReverse(transform, {geodesy::ParseNumber(cell(points::kXColumn)),
                                                          geodesy::ParseNumber(cell(points::kYColumn)),
                                                          geodesy::ParseNumber(cell(points::kHColumn))});
                request.fromTable.push_back(
                    {cell(points::kNameColumn), {plane.x, plane.y, plane.h}, {}, true});
            } catch (const geodesy::InvalidNumberError&) {
                // A row without numbers is no control point.
            }
        }
    } catch (const std::exception&) {
        request.fromTable.clear();
    }
    const ControlPointsOutcome outcome = env_.dialogs->EditControlPoints(this, request);
    controlSheet_ = outcome.sheet;
    if (!outcome.applied)
        return;
    const geodesy::FourParameterSet& p = *outcome.applied;
    // Enough decimals that the rounding moves no point by more than a few micrometres: the
    // rotation and the scale act about the plane's origin, some 3,000 km away.
    EditXdis->setText(Fixed(p.dxM, 4));
    EditYdis->setText(Fixed(p.dyM, 4));
    EditRot->setText(Fixed(p.rotArcSec, 6));
    EditSca->setText(Fixed(p.scale, 12));
    EditHdis->setText(Fixed(p.dHM, 4));
    ShowPage(PageZbzh);
    StatusBar1->setText(tr("已把控制点求得的四参数和高程改正填入坐标转换页。"));
}

}  // namespace keldarn::app
