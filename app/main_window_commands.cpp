// Page commands of the main window: page switching, the projection and transformation
// pages, help and About.

#include "app/about_box.h"
#include "app/main_window.h"
#include "app/parameter_import.h"
#include "geodesy/gauss_kruger.h"
#include "geodesy/number_text.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QStackedWidget>
#include <QLabel>

namespace keldarn::app {

namespace {

QString Fixed(double value, int decimals)
{
    return QString::fromStdString(geodesy::FormatFixed(value, decimals));
}

}  // namespace

void TFormMain::MMapClick() { ShowPage(PageMap); }
void TFormMain::MHgetClick() { ShowPage(PageHget); }
void TFormMain::MAddClick() { ShowPage(PageAdd); }
void TFormMain::MOutClick() { ShowPage(PageOut); }
void TFormMain::Mset3Click() { ShowPage(PageZbzh); }

void TFormMain::Mset1Click()
{
    // Proposes the 3-degree zone meridian nearest to the map window's centre.
    if (ViewerPresent()) {
        const double centreLonDeg = viewer_->GetPointOnTerrainFromScreenCoords(0.0, 0.0).Longitude;
        const double zoneMeridianDeg = geodesy::ProposeZoneMeridian(centreLonDeg);
        EditLo->setText(Fixed(centreLonDeg, 4));
        EditLL->setText(Fixed(zoneMeridianDeg, 4));
        ShowPage(PageSet);
        StatusBar1->setText(QStringLiteral("中央子午线=") + Fixed(zoneMeridianDeg, 4) + QStringLiteral("度"));
        return;
    }
    ShowPage(PageSet);
}

void TFormMain::Button4Click()
{
    StatusBar1->setText(QStringLiteral("中央子午线=") + EditLL->text());
    Mset3Click();
}

void TFormMain::Button11Click() { Mdata1Click(); }

void TFormMain::Mdata1Click()
{
    // The measurement of the map window and the estimate of the point count belong to
    // the automatic sampling, which needs the terrain viewer.
    ShowPage(PageAuto);
}

void TFormMain::Button12Click()
{
    OpenDialog1.filter = QStringLiteral("Text files (*.txt)|*.txt");
    const QString path = env_.dialogs->GetOpenFileName(this, OpenDialog1);
    if (path.isEmpty())
        return;
    // The whole file is read before any field changes, so a failed read changes nothing.
    const std::array<std::string, 5> lines = ReadParameterLines(path.toStdString());
    QLineEdit* const fields[] = {EditXdis, EditYdis, EditRot, EditSca, EditHdis};
    for (std::size_t i = 0; i < lines.size(); ++i)
        fields[i]->setText(QString::fromStdString(lines[i]));
}

void TFormMain::MKMLtoCADClick()
{
    // No drawing window can be open in this build.
    ShowInfo(QStringLiteral("AutoCAD尚未打开！"));
}

void TFormMain::MCADtoKMLClick()
{
    ShowInfo(QStringLiteral("AutoCAD尚未打开！"));
}

void TFormMain::MHelpClick()
{
    // The desktop handler reports a missing file itself; the program adds no message.
    if (env_.openDocument)
        env_.openDocument(env_.helpPath);
}

void TFormMain::MAboutClick()
{
    TAboutBox about(this, *env_.dialogs, env_.versionInfo);
    if (!about.built()) {
        close();
        QCoreApplication::quit();
        return;
    }
    about.exec();
}

}  // namespace keldarn::app
