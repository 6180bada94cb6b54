#pragma once

// A main window in a scratch folder, with fake dialogs and, when asked for, a fake
// viewer; the settings file lies in the scratch folder.

#include "app/main_window.h"
#include "fakes.h"

#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace keldarn::testing {

struct WindowFixture {
    explicit WindowFixture(bool withViewer = false, const QByteArray& settingsText = {}, bool writeSettings = false)
    {
        if (writeSettings) {
            QFile file(SettingsPath());
            file.open(QIODevice::WriteOnly);
            file.write(settingsText);
        }
        app::MainWindowEnvironment env;
        env.settingsPath = SettingsPath().toStdString();
        env.dialogs = &dialogs;
        if (withViewer) {
            env.createViewer = [this] {
                auto fake = std::make_unique<FakeViewer>();
                viewer = fake.get();
                return std::unique_ptr<earth::IApplicationGE>(std::move(fake));
            };
        } else {
            env.createViewer = []() -> std::unique_ptr<earth::IApplicationGE> {
                throw earth::EarthError("no viewer");
            };
        }
        env.versionInfo = [this] {
            ++versionReads;
            return versionInfo;
        };
        env.helpPath = dir.filePath(QStringLiteral("help.html"));
        window = std::make_unique<app::TFormMain>(std::move(env));
    }

    QString SettingsPath() const { return dir.filePath(QStringLiteral("Keldarn.ini")); }

    QByteArray SettingsText() const
    {
        QFile file(SettingsPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return file.readAll();
    }

    QString WriteFile(const QString& name, const QByteArray& bytes) const
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return path;
    }

    QTemporaryDir dir;
    FakeDialogs dialogs;
    FakeViewer* viewer = nullptr;  // owned by the window once created
    int versionReads = 0;
    std::optional<app::VersionInfo> versionInfo =
        app::VersionInfo{QStringLiteral("测试产品"), QStringLiteral("版权"), QStringLiteral("1.2.3"),
                         QStringLiteral("公司")};
    std::unique_ptr<app::TFormMain> window;
};

}  // namespace keldarn::testing
