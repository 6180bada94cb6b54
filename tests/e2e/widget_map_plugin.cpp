// A Qt generic plugin that lets the end-to-end driver see the widgets of the unmodified
// program. Loaded with QT_QPA_GENERIC_PLUGINS=keldarn_widget_map and QT_PLUGIN_PATH
// naming the folder that holds generic/libkeldarn_widget_map.so, it writes every 100 ms
// a "widget map" to the file named by KELDARN_E2E_WIDGET_MAP: one JSON object per line,
// first a header (sequence number, active window and modal widget), then one line per
// visible widget with its object name, class, text and global rectangle in screen
// pixels (X root coordinates). The file is replaced in one step, so a reader never sees
// half a map. The sequence number only grows while the program's event loop runs: a map
// written after an input shows the program's answer to it.

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGenericPlugin>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QSaveFile>
#include <QStackedWidget>
#include <QTableView>
#include <QTextEdit>
#include <QTimer>
#include <QWidget>

namespace {

constexpr int kIntervalMs = 100;
// Enough of a long text (the help page, a table cell) to recognise it.
constexpr int kTextLimit = 400;

QString WidgetId(const QWidget* widget)
{
    return QStringLiteral("0x%1").arg(reinterpret_cast<quintptr>(widget), 0, 16);
}

QJsonObject Rect(const QRect& global)
{
    return {{QStringLiteral("x"), global.x()},
            {QStringLiteral("y"), global.y()},
            {QStringLiteral("w"), global.width()},
            {QStringLiteral("h"), global.height()}};
}

QString Shortened(const QString& text)
{
    return text.size() > kTextLimit ? text.left(kTextLimit) : text;
}

// The text a user reads on the widget, if it has one.
QString TextOf(const QWidget* widget)
{
    if (const auto* box = qobject_cast<const QMessageBox*>(widget))
        return box->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
        return edit->text();
    if (const auto* group = qobject_cast<const QGroupBox*>(widget))
        return group->title();
    if (const auto* combo = qobject_cast<const QComboBox*>(widget))
        return combo->currentText();
    if (const auto* textEdit = qobject_cast<const QTextEdit*>(widget))
        return Shortened(textEdit->toPlainText());
    return {};
}

QJsonArray RowCells(const QAbstractItemModel& model, int row)
{
    QJsonArray cells;
    for (int column = 0; column < model.columnCount(); ++column)
        cells.append(Shortened(model.index(row, column).data().toString()));
    return cells;
}

class WidgetMapWriter : public QObject {
public:
    explicit WidgetMapWriter(QString path) : path_(std::move(path))
    {
        // The plugin is created while QGuiApplication is being built: the timer starts
        // once the event loop runs.
        QTimer::singleShot(0, this, [this] {
            connect(&timer_, &QTimer::timeout, this, &WidgetMapWriter::Write);
            timer_.start(kIntervalMs);
            Write();
        });
    }

private:
    void Write()
    {
        QByteArray out;
        const QWidget* activeWindow = QApplication::activeWindow();
        const QWidget* activeModal = QApplication::activeModalWidget();
        const QWidget* focus = QApplication::focusWidget();
        QJsonObject header{{QStringLiteral("kind"), QStringLiteral("header")},
                           {QStringLiteral("seq"), ++sequence_},
                           {QStringLiteral("activeWindow"), activeWindow ? WidgetId(activeWindow) : QString()},
                           {QStringLiteral("activeModal"), activeModal ? WidgetId(activeModal) : QString()},
                           {QStringLiteral("focus"), focus ? WidgetId(focus) : QString()}};
        AppendLine(out, header);
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->isVisible())
                AppendWidget(out, top);
        QSaveFile file(path_);
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write(out);
        file.commit();
    }

    static void AppendLine(QByteArray& out, const QJsonObject& line)
    {
        out += QJsonDocument(line).toJson(QJsonDocument::Compact);
        out += '\n';
    }

    void AppendWidget(QByteArray& out, QWidget* widget)
    {
        const QRect global(widget->mapToGlobal(QPoint(0, 0)), widget->size());
        QJsonObject line{{QStringLiteral("kind"), QStringLiteral("widget")},
                         {QStringLiteral("id"), WidgetId(widget)},
                         {QStringLiteral("window"), WidgetId(widget->window())},
                         {QStringLiteral("name"), widget->objectName()},
                         {QStringLiteral("class"), QString::fromLatin1(widget->metaObject()->className())},
                         {QStringLiteral("text"), TextOf(widget)},
                         {QStringLiteral("enabled"), widget->isEnabled()},
                         {QStringLiteral("rect"), Rect(global)}};
        if (widget->isWindow()) {
            line.insert(QStringLiteral("title"), widget->windowTitle());
            line.insert(QStringLiteral("winId"), QString::number(widget->effectiveWinId()));
            line.insert(QStringLiteral("isWindow"), true);
        }
        if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
            // Message box buttons carry translated texts; their role does not change.
            if (const auto* box = qobject_cast<const QDialogButtonBox*>(widget->parentWidget()))
                line.insert(QStringLiteral("standardButton"),
                            static_cast<qint64>(box->standardButton(const_cast<QAbstractButton*>(button))));
        }
        if (const auto* view = qobject_cast<const QAbstractItemView*>(widget); view && view->model()) {
            const QAbstractItemModel& model = *view->model();
            const int rows = model.rowCount();
            line.insert(QStringLiteral("rows"), rows);
            if (qobject_cast<const QTableView*>(widget) && rows > 0)
                line.insert(QStringLiteral("lastRow"), RowCells(model, rows - 1));
            if (qobject_cast<const QListWidget*>(widget)) {
                QJsonArray items;
                for (int row = 0; row < rows && row < 100; ++row)
                    items.append(model.index(row, 0).data().toString());
                line.insert(QStringLiteral("items"), items);
            }
        }
        if (const auto* stack = qobject_cast<const QStackedWidget*>(widget); stack && stack->currentWidget())
            line.insert(QStringLiteral("current"), stack->currentWidget()->objectName());
        if (auto* menu = qobject_cast<QMenu*>(widget)) {
            QJsonArray actions;
            for (QAction* action : menu->actions()) {
                if (action->isSeparator() || !action->isVisible())
                    continue;
                const QRect rect = menu->actionGeometry(action);
                QJsonObject entry{{QStringLiteral("text"), action->text()},
                                  {QStringLiteral("enabled"), action->isEnabled()},
                                  {QStringLiteral("rect"), Rect(QRect(menu->mapToGlobal(rect.topLeft()), rect.size()))}};
                actions.append(entry);
            }
            line.insert(QStringLiteral("actions"), actions);
        }
        AppendLine(out, line);
        for (QObject* child : widget->children()) {
            auto* childWidget = qobject_cast<QWidget*>(child);
            // Other windows among the children (dialogs owned by a window) are listed as
            // top-level widgets of their own.
            if (childWidget && childWidget->isVisible() && !childWidget->isWindow())
                AppendWidget(out, childWidget);
        }
    }

    QString path_;
    QTimer timer_;
    qint64 sequence_ = 0;
};

class WidgetMapPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "widget_map_plugin.json")

public:
    QObject* create(const QString& key, const QString&) override
    {
        const QString path = qEnvironmentVariable("KELDARN_E2E_WIDGET_MAP");
        if (key.compare(QLatin1String("keldarn_widget_map"), Qt::CaseInsensitive) != 0 || path.isEmpty())
            return nullptr;
        return new WidgetMapWriter(path);
    }
};

}  // namespace

#include "widget_map_plugin.moc"
