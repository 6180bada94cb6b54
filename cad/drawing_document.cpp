#include "cad/drawing_document.h"

#include "cad/drawing_geometry.h"
#include "i18n/interface_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace keldarn::cad {

namespace {

bool EqualNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char l, char r) {
               return std::toupper(static_cast<unsigned char>(l)) ==
                      std::toupper(static_cast<unsigned char>(r));
           });
}

bool IsTextOrPolylineFilter(const std::vector<std::int16_t>& types, const std::vector<std::string>& data)
{
    static const std::vector<std::int16_t> kTypes = {-4, -4, 0, -4, -4, 0, -4, -4};
    static const char* const kData[] = {"<or", "<and", "LWPolyline", "and>", "<and", "Text", "and>", "or>"};
    if (types != kTypes || data.size() != kTypes.size())
        return false;
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (!EqualNoCase(data[i], kData[i]))
            return false;
    }
    return true;
}

// `message` is made only when a value fails, so that long vertex lists cost no translations.
void RequireFinite(std::initializer_list<double> values, std::string (*message)())
{
    for (double value : values) {
        if (!std::isfinite(value))
            throw AcadError(message());
    }
}

}  // namespace

std::string DrawingEntity::ObjectName() const
{
    return entity_.kind == EntityKind::Text ? "AcDbText" : "AcDbPolyline";
}

void DrawingEntity::GetBoundingBox(Point3& lowerLeft, Point3& upperRight) const
{
    const DrawingBox box = EntityBox(*model_, entity_);
    const double z = entity_.kind == EntityKind::Text ? model_->Texts()[entity_.index].z : 0.0;
    lowerLeft = {box.minX, box.minY, z};
    upperRight = {box.maxX, box.maxY, z};
}

const DrawingText& DrawingEntity::Text(const char* operation) const
{
    if (entity_.kind != EntityKind::Text)
        throw AcadError(i18n::Format(i18n::Translate("cad", "轻量多段线没有属性 %1。"), {operation}));
    return model_->Texts()[entity_.index];
}

const DrawingPolyline& DrawingEntity::Polyline(const char* operation) const
{
    if (entity_.kind != EntityKind::Polyline)
        throw AcadError(i18n::Format(i18n::Translate("cad", "单行文字没有属性 %1。"), {operation}));
    return model_->Polylines()[entity_.index];
}

std::string DrawingEntity::TextString() const
{
    return std::string(model_->TextOf(Text("TextString")));
}

Point3 DrawingEntity::InsertionPoint() const
{
    const DrawingText& text = Text("InsertionPoint");
    return {text.x, text.y, text.z};
}

bool DrawingEntity::closed() const
{
    return Polyline("closed").closed;
}

std::vector<double> DrawingEntity::Coordinates() const
{
    const auto xy = model_->VerticesOf(Polyline("Coordinates"));
    return {xy.begin(), xy.end()};
}

std::array<double, 2> DrawingEntity::Coordinate(int index) const
{
    const auto xy = model_->VerticesOf(Polyline("Coordinate"));
    const int count = static_cast<int>(xy.size() / 2);
    if (index < 0 || index >= count) {
        throw AcadError(
            i18n::Format(i18n::Translate("cad", "顶点序号 %1 超出范围：这条多段线的顶点序号为 0 到 %2。"),
                         {std::to_string(index), std::to_string(count - 1)}));
    }
    return {xy[2 * static_cast<std::size_t>(index)], xy[2 * static_cast<std::size_t>(index) + 1]};
}

DrawingDocument::DrawingDocument() = default;
DrawingDocument::~DrawingDocument() = default;

bool DrawingDocument::ReplaceModel(DrawingModel model)
{
    if (HasSelectionSets())
        return false;
    model_ = std::move(model);
    changeReported_ = false;
    return true;
}

void DrawingDocument::ReportChange()
{
    if (changeReported_)
        return;
    changeReported_ = true;
    if (changed_)
        changed_();
}

double DrawingDocument::GetVariable(const std::string& name) const
{
    if (const auto value = model_.Variable(name))
        return *value;
    throw AcadError(i18n::Format(i18n::Translate("cad", "图形中没有系统变量“%1”。"), {name}));
}

void DrawingDocument::AddPoint(const Point3& point)
{
    RequireFinite({point.x, point.y, point.z},
                  [] { return i18n::Translate("cad", "点的坐标不是有限的数值。"); });
    model_.AddPoint(point.x, point.y, point.z);
    ReportChange();
}

void DrawingDocument::AddText(const std::string& text, const Point3& insertionPoint, double height)
{
    RequireFinite({insertionPoint.x, insertionPoint.y, insertionPoint.z},
                  [] { return i18n::Translate("cad", "文字插入点的坐标不是有限的数值。"); });
    if (!std::isfinite(height) || height <= 0.0) {
        throw AcadError(
            i18n::Format(i18n::Translate("cad", "文字高度必须是正数，却是 %1。"), {std::to_string(height)}));
    }
    model_.AddText(text, insertionPoint.x, insertionPoint.y, insertionPoint.z, height);
    ReportChange();
}

void DrawingDocument::AddLightWeightPolyLine(const std::vector<double>& vertices)
{
    if (vertices.size() < 4 || vertices.size() % 2 != 0) {
        throw AcadError(i18n::Format(
            i18n::Translate("cad", "轻量多段线需要至少两个顶点，以成对的 x, y 给出；收到了 %1 个数值。"),
            {std::to_string(vertices.size())}));
    }
    for (double value : vertices)
        RequireFinite({value}, [] { return i18n::Translate("cad", "多段线顶点的坐标不是有限的数值。"); });
    model_.AddPolyline(vertices, false);
    ReportChange();
}

IAcadSelectionSet& DrawingDocument::Add(const std::string& name)
{
    const auto same =
        std::find_if(sets_.begin(), sets_.end(), [&](const auto& set) { return set->Name() == name; });
    if (same != sets_.end()) {
        if (selecting_)
            throw AcadError(i18n::Format(
                i18n::Translate("cad", "选择集“%1”正在图形窗口中选择对象，请先结束那次选择。"), {name}));
        sets_.erase(same);
    }
    sets_.push_back(std::make_unique<DrawingSelectionSet>(*this, name));
    return *sets_.back();
}

void DrawingDocument::RemoveSet(const DrawingSelectionSet* set)
{
    std::erase_if(sets_, [&](const auto& s) { return s.get() == set; });
    SelectionChanged();
}

std::optional<std::vector<EntityRef>> DrawingDocument::RunPicker()
{
    if (selecting_)
        throw AcadError(i18n::Translate("cad", "图形窗口中已有一次选择正在进行，请先结束那次选择。"));
    if (!picker_)
        throw AcadError(i18n::Translate("cad", "图形窗口不能选择对象。"));
    selecting_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{selecting_};
    return picker_();
}

void DrawingDocument::SelectionChanged()
{
    if (selectionChanged_)
        selectionChanged_();
}

std::vector<EntityRef> DrawingDocument::SelectedEntities() const
{
    std::vector<EntityRef> entities;
    for (const auto& set : sets_) {
        const auto more = set->Entities();
        entities.insert(entities.end(), more.begin(), more.end());
    }
    return entities;
}

void DrawingSelectionSet::SelectOnScreen(const std::vector<std::int16_t>& filterTypes,
                                         const std::vector<std::string>& filterData)
{
    if (!IsTextOrPolylineFilter(filterTypes, filterData)) {
        throw AcadError(i18n::Translate("cad", "图形窗口只能按“单行文字或轻量多段线”过滤选择对象"
                                               "（<or <and LWPolyline and> <and Text and> or>），"
                                               "不支持给出的过滤条件。"));
    }
    entities_.clear();
    const auto picked = document_.RunPicker();
    if (picked) {
        const DrawingModel& model = document_.Model();
        for (const EntityRef& entity : *picked) {
            if (entity.kind == EntityKind::Text || entity.kind == EntityKind::Polyline)
                entities_.emplace_back(model, entity);
        }
    }
    document_.SelectionChanged();
}

const IAcadEntity& DrawingSelectionSet::Item(int index) const
{
    if (index < 0 || index >= Count()) {
        throw AcadError(
            i18n::Format(i18n::Translate("cad", "选择集序号 %1 超出范围：选择集“%2”中有 %3 个对象。"),
                         {std::to_string(index), name_, std::to_string(Count())}));
    }
    return entities_[static_cast<std::size_t>(index)];
}

void DrawingSelectionSet::Delete()
{
    document_.RemoveSet(this);  // destroys this set
}

std::vector<EntityRef> DrawingSelectionSet::Entities() const
{
    std::vector<EntityRef> refs;
    refs.reserve(entities_.size());
    for (const DrawingEntity& entity : entities_)
        refs.push_back(entity.Ref());
    return refs;
}

}  // namespace keldarn::cad
