#pragma once

// Stand-ins for the user and the terrain viewer in window tests: scripted answers to
// dialogs, a record of every message shown, and a viewer with a fixed camera and a
// terrain function.

#include "app/control_points_dialog.h"
#include "app/dialogs.h"
#include "earth/application_ge.h"
#include "earth/screen_coords.h"

#include <QStringList>
#include <QVBoxLayout>
#include <QWidget>

#include <deque>
#include <functional>
#include <optional>

namespace keldarn::testing {

struct ShownMessage {
    QString text;
    QString title;
    app::MessageIcon icon;
};

class FakeDialogs : public app::Dialogs {
public:
    void ShowMessage(QWidget*, const QString& text, const QString& title, app::MessageIcon icon) override
    {
        messages.push_back({text, title, icon});
    }
    bool AskYesNo(QWidget*, const QString& text, const QString&) override
    {
        questions << text;
        return answerYes;
    }
    // Recorded also in defaultNoQuestions, then answered as AskYesNo.
    bool AskYesNoDefaultNo(QWidget* owner, const QString& text, const QString& title) override
    {
        defaultNoQuestions << text;
        return AskYesNo(owner, text, title);
    }
    QString GetSaveFileName(QWidget*, const app::FileDialogOptions& options) override
    {
        lastSaveOptions = options;
        return NextPath();
    }
    QString GetOpenFileName(QWidget*, const app::FileDialogOptions& options) override
    {
        lastOpenOptions = options;
        return NextPath();
    }

    QString GetExistingDirectory(QWidget*, const QString&) override { return NextPath(); }
    // The next of `texts`, or a cancel (a null text) when there is none.
    QString GetText(QWidget*, const QString&, const QString& label, const QString& text) override
    {
        textPrompts << label + QLatin1Char('|') + text;
        if (texts.empty())
            return {};
        QString answer = texts.front();
        texts.pop_front();
        return answer;
    }

    // The next of `imageryChoices`, or a cancel when there is none.
    std::optional<app::ImageryChoice> ChooseImagery(QWidget*, const app::ImageryChoice& current) override
    {
        imageryShown.push_back(current);
        if (imageryChoices.empty())
            return std::nullopt;
        app::ImageryChoice answer = imageryChoices.front();
        imageryChoices.pop_front();
        return answer;
    }

    // The next of `productChoices`, or a cancel when there is none.
    std::optional<app::TerrainProductChoice> ChooseTerrainProduct(QWidget*, app::TerrainProduct,
                                                                  const app::TerrainProductChoice&) override
    {
        if (productChoices.empty())
            return std::nullopt;
        app::TerrainProductChoice answer = productChoices.front();
        productChoices.pop_front();
        return answer;
    }
    // The next of `itemChoices` (-1 when there is none); the items offered go to itemsShown.
    int ChooseItem(QWidget*, const QString&, const QString&, const QStringList& items) override
    {
        itemsShown << items;
        if (itemChoices.empty())
            return -1;
        const int answer = itemChoices.front();
        itemChoices.pop_front();
        return answer;
    }

    // Records the request; answers with controlOutcomes' next one, or leaves the points
    // unchanged with nothing applied.
    app::ControlPointsOutcome EditControlPoints(QWidget*, const app::ControlPointsRequest& request) override
    {
        controlRequests.push_back(request);
        if (controlOutcomes.empty())
            return {request.sheet, std::nullopt};
        app::ControlPointsOutcome answer = controlOutcomes.front();
        controlOutcomes.pop_front();
        return answer;
    }

    // The next of projectionChoices with the central meridian as it was, or a cancel.
    std::optional<app::ProjectionAnswer> ChooseProjection(QWidget*,
                                                          const app::ProjectionRequest& request) override
    {
        if (projectionChoices.empty())
            return std::nullopt;
        app::ProjectionAnswer answer{projectionChoices.front(), request.centralMeridianText};
        projectionChoices.pop_front();
        return answer;
    }

    // The next of `separatorReplacements`, or a cancel when there is none; the texts shown go
    // to separatorPrompts, "text|suggested".
    std::optional<QString> ChooseSeparatorReplacement(QWidget*, const QString& text, const QString&,
                                                      const QString& suggested) override
    {
        separatorPrompts << text + QLatin1Char('|') + suggested;
        if (separatorReplacements.empty())
            return std::nullopt;
        QString answer = separatorReplacements.front();
        separatorReplacements.pop_front();
        return answer;
    }

    QStringList MessageTexts() const
    {
        QStringList texts;
        for (const ShownMessage& message : messages)
            texts << message.text;
        return texts;
    }

    std::vector<ShownMessage> messages;
    QStringList questions;
    QStringList defaultNoQuestions;  // the questions whose default answer is 否
    bool answerYes = true;
    std::deque<QString> filePaths;                  // answers of the file dialogs in turn; empty = cancel
    std::deque<QString> texts;                      // answers of the text prompts in turn; empty = cancel
    QStringList textPrompts;                        // "label|starting text" of each prompt
    std::deque<app::ImageryChoice> imageryChoices;  // answers of 影像图层... in turn
    std::vector<app::ImageryChoice> imageryShown;   // what each showed to start with
    std::deque<app::TerrainProductChoice> productChoices;  // answers of the terrain products in turn
    std::deque<int> itemChoices;                           // answers of the lists in turn
    QStringList itemsShown;
    std::deque<QString> separatorReplacements;  // answers of the export's replacement question
    QStringList separatorPrompts;
    std::deque<app::ControlPointsOutcome> controlOutcomes;
    std::deque<geodesy::ProjectionChoice> projectionChoices;
    std::vector<app::ControlPointsRequest> controlRequests;
    app::FileDialogOptions lastSaveOptions;
    app::FileDialogOptions lastOpenOptions;

private:
    QString NextPath()
    {
        if (filePaths.empty())
            return {};
        QString path = filePaths.front();
        filePaths.pop_front();
        return path;
    }
};

class FakeViewer : public earth::IApplicationGE {
public:
    FakeViewer()
    {
        mainWindow = new QWidget;
        mainWindow->setWindowTitle(QStringLiteral("viewer"));
        renderWindow = new QWidget(mainWindow);
        auto* layout = new QVBoxLayout(mainWindow);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(renderWindow);
    }
    ~FakeViewer() override = default;  // the main window owns the embedded widget

    QWidget* GetMainHwnd() override { return mainWindow; }
    QWidget* GetRenderHwnd() override { return renderWindow; }
    std::optional<earth::ICameraInfoGE> GetCamera(bool) override
    {
        if (cameraFails)
            throw earth::EarthError("camera query failed");
        return camera;
    }
    void SetCameraParams(double latDeg, double lonDeg, double altitudeM, earth::AltitudeModeGE mode,
                         double rangeM, double tiltDeg, double azimuthDeg, double speed) override
    {
        lastCameraParams = {latDeg, lonDeg,  altitudeM,  static_cast<double>(mode),
                            rangeM, tiltDeg, azimuthDeg, speed};
    }
    earth::IPointOnTerrainGE GetPointOnTerrainFromScreenCoords(double sx, double sy) override
    {
        queries.push_back({.sx = sx, .sy = sy});
        return terrain(sx, sy);
    }
    // Answers on the worker's thread; the test reads `queries` once the run has ended.
    ScreenPicks PicksForRun() override
    {
        return [this](double sx, double sy) -> std::optional<earth::IPointOnTerrainGE> {
            try {
                return GetPointOnTerrainFromScreenCoords(sx, sy);
            } catch (const earth::NoTerrainError&) {
                return std::nullopt;
            }
        };
    }

    QWidget* mainWindow = nullptr;
    QWidget* renderWindow = nullptr;
    std::optional<earth::ICameraInfoGE> camera;
    bool cameraFails = false;
    std::vector<double> lastCameraParams;
    std::vector<earth::ScreenPoint> queries;
    std::function<earth::IPointOnTerrainGE(double, double)> terrain = [](double, double) {
        return earth::IPointOnTerrainGE{33.2677, 113.5538, 100.0};
    };
};

}  // namespace keldarn::testing
