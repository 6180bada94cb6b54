#pragma once

// The automation interface of the drawing window, the program's own counterpart of a
// running CAD application. The two drawing conversions use only these operations,
// named as a CAD automation interface names them. Coordinates are drawing units
// (metres): x is the easting, y the northing. Texts are UTF-8. A failing call throws
// AcadError with a message the user can act on.

#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace keldarn::cad {

class AcadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Point3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// One entity of a selection: a single-line text ("AcDbText") or a lightweight
// polyline ("AcDbPolyline"). Text operations on a polyline and polyline operations on
// a text throw AcadError.
class IAcadEntity {
public:
    virtual ~IAcadEntity() = default;
    virtual std::string ObjectName() const = 0;
    // Lower-left and upper-right corners of the entity's extents.
    virtual void GetBoundingBox(Point3& lowerLeft, Point3& upperRight) const = 0;
    virtual std::string TextString() const = 0;
    virtual Point3 InsertionPoint() const = 0;
    virtual bool closed() const = 0;
    // 2n values for n vertices: x0, y0, x1, y1, ...
    virtual std::vector<double> Coordinates() const = 0;
    // Vertex i (from 0) as (x, y).
    virtual std::array<double, 2> Coordinate(int index) const = 0;
};

class IAcadSelectionSet {
public:
    virtual ~IAcadSelectionSet() = default;
    // Lets the user pick entities in the drawing window and returns when the user ends
    // the selection (Enter or a right click; Esc ends with nothing picked). The filter
    // is given as pairs of group code and value; the drawing window admits only the
    // filter "<or <and LWPolyline and> <and Text and> or>".
    virtual void SelectOnScreen(const std::vector<std::int16_t>& filterTypes,
                                const std::vector<std::string>& filterData) = 0;
    virtual int Count() const = 0;
    virtual const IAcadEntity& Item(int index) const = 0;
    // Removes the set from the drawing; the set must not be used afterwards.
    virtual void Delete() = 0;
};

class IAcadSelectionSets {
public:
    virtual ~IAcadSelectionSets() = default;
    // A new, empty selection set of that name, owned by the drawing until Delete().
    virtual IAcadSelectionSet& Add(const std::string& name) = 0;
};

class IAcadModelSpace {
public:
    virtual ~IAcadModelSpace() = default;
    virtual void AddPoint(const Point3& point) = 0;
    virtual void AddText(const std::string& text, const Point3& insertionPoint, double height) = 0;
    // An open lightweight polyline through the vertices (x0, y0, x1, y1, ...).
    virtual void AddLightWeightPolyLine(const std::vector<double>& vertices) = 0;
};

class IAcadDocument {
public:
    virtual ~IAcadDocument() = default;
    virtual IAcadModelSpace& ModelSpace() = 0;
    // A drawing variable by name, without regard to case ("LtScale").
    virtual double GetVariable(const std::string& name) const = 0;
    virtual IAcadSelectionSets& SelectionSets() = 0;
};

class IAcadApplication {
public:
    virtual ~IAcadApplication() = default;
    virtual void SetVisible(bool visible) = 0;
    virtual IAcadDocument& ActiveDocument() = 0;
};

// Attaching to the running drawing window: the application object, or nullptr when
// no drawing window is open.
using AcadAttach = std::function<IAcadApplication*()>;

}  // namespace keldarn::cad
