#!/usr/bin/env python3
"""End-to-end test of the built Keldarn, driven as a user drives it.

Starts Xvfb with openbox, runs a copy of the executable in a scratch folder and sends it
real X key and mouse events with xdotool. Where to click comes from the widget map that
the generic plugin keldarn_widget_map writes from inside the program (see
widget_map_plugin.cpp). The same map shows the program's answer to each input: a step
passes only on a map written after its input, so a program whose event loop is stuck
fails the step. Files the program writes are checked on disk.

Every wait is bounded. A failed step names itself and keeps a screenshot; when it leaves
the program stuck (a modal window open, an event loop that does not run), the program
is restarted for the scenarios that follow, so one run reports on every scenario.
Screenshots: <screenshots>/NN-scenario-step.png, NN-...-FAILED.png for a failed step.
"""

import argparse
import json
import math
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import time
import struct
import xml.etree.ElementTree as ET
import zlib
from dataclasses import dataclass
from pathlib import Path
from typing import Callable

SCREEN = (1600, 1000)
MAP_POLL_S = 0.05
# The whole run, seconds; ctest's TIMEOUT of the test is larger.
RUN_LIMIT_S = 120
# QMessageBox::Discard and QMessageBox::Yes
DISCARD_BUTTON = 0x00800000
YES_BUTTON = 0x00004000

DRAWING_TITLE = "Keldarn 图形窗口"
CENTRAL_MERIDIAN = "114"
TYPED_POINT = {"name": "P1", "lat": "33.25", "lon": "113.6", "h": "123.4"}
# The description the manual entry page proposes: Chinese text in the export.
TYPED_DESCRIPTION = "校正点"
# Heights of the generated DEM, metres: a sampled height in this range comes from it.
DEM_HEIGHTS_M = (1000.0, 1100.0)
KML_POINT_NAME = "界桩1"
KML_POINT = (113.56, 33.27)
KML_LINE = [(113.55, 33.26), (113.57, 33.265), (113.58, 33.28)]
# The orthophoto laid over the DEM: one colour that neither relief nor sky shows.
ORTHO_RGB = (230, 40, 220)


class StepFailed(Exception):
    pass


# The widget map


class Widget(dict):
    @property
    def centre(self):
        r = self["rect"]
        return r["x"] + r["w"] // 2, r["y"] + r["h"] // 2

    @property
    def text(self):
        return self.get("text", "")


class WidgetMap:
    def __init__(self, header, widgets):
        self.header = header
        self.widgets = [Widget(w) for w in widgets]

    @property
    def seq(self):
        return self.header["seq"]

    def windows(self):
        return [w for w in self.widgets if w.get("isWindow")]

    def main_window(self):
        return next((w for w in self.windows() if w["class"] == "keldarn::app::TFormMain"), None)

    def in_window(self, window):
        return [w for w in self.widgets if w["window"] == window["id"]]

    def named(self, name, window=None):
        pool = self.in_window(window) if window else self.widgets
        return next((w for w in pool if w["name"] == name), None)

    def of_class(self, cls, window=None):
        pool = self.in_window(window) if window else self.widgets
        return [w for w in pool if w["class"] == cls]

    def active_modal(self):
        return next((w for w in self.widgets if w["id"] == self.header["activeModal"]), None)

    def is_active(self, window):
        return window is not None and self.header["activeWindow"] == window["id"]

    def message_box(self):
        return next((w for w in self.windows() if w["class"] == "QMessageBox"), None)

    def window_titled(self, prefix):
        return next((w for w in self.windows() if w.get("title", "").startswith(prefix)), None)

    def menu_action(self, text):
        for menu in self.of_class("QMenu"):
            for action in menu.get("actions", []):
                if action["text"] == text:
                    return action
        return None


def product_dialog_open(title):
    def check(d, m):
        modal = m.active_modal()
        if modal is None or not modal.get("title", "").startswith(title):
            return f"the {title} dialog does not have the keyboard"
        return None if m.named("ProductStep", modal) else f"the {title} dialog has no step field"
    return check


def answer_product_dialog(title, step, on_map):
    def act(d):
        dialog = d.find(f"the {title} dialog", lambda m: m.window_titled(title))
        if on_map:
            d.click(d.find("the choice of clicking on the map", lambda m: m.named("SourceMap", dialog)))
        d.click(d.find("the step field", lambda m: m.named("ProductStep", dialog)))
        d.key("ctrl+a")
        d.type_text(step)
        d.key("Return")
    return act


def click_on_map(fractions, end):
    """Left clicks at fractions of the terrain view, then ends the line with `end`:
    "right" (a right click) or a key."""
    def act(d):
        render = d.find("the terrain view", lambda m: next(iter(m.of_class("keldarn::earth::TerrainRenderWidget")), None))
        r = render["rect"]
        for fx, fy in fractions:
            d.click_at(r["x"] + int(fx * r["w"]), r["y"] + int(fy * r["h"]))
        if end == "right":
            d.xdotool("click", 3)
        else:
            d.key(end)
    return act


def profile_window_shown(d, m):
    window = m.window_titled("纵断面 - ")
    if window is None:
        return "no profile window is shown"
    return None if any(w.text == "加入点表" for w in m.of_class("QPushButton", window)) else "no 加入点表 button"


def click_profile_button(text):
    def act(d):
        window = d.find("the profile window", lambda m: m.window_titled("纵断面 - "))
        d.click(d.find(f"the button {text}", lambda m: next(
            (w for w in m.of_class("QPushButton", window) if w.text == text), None)))
    return act


def chainage_rows_added(d, m):
    rows, last = table_rows(m)
    if rows is None or rows <= d.state["rows_before"]:
        return f"no rows were added (the table has {rows})"
    if not re.fullmatch(r"K\d+\+\d{3}\.\d{3}", last[0]):
        return f"the last row is named {last[0]!r}, not by its chainage"
    return None


def remember_rows_then(act):
    def run(d):
        remember_rows(d)
        act(d)
    return run


def profile_window_closed(d, m):
    return "the profile window is still shown" if m.window_titled("纵断面 - ") else None


# Controls of the main window are found by object name, the member name in main_window.h.
def control(m, name):
    """The visible control `name` of the main window, or None."""
    main = m.main_window()
    if main is None:
        return None
    return m.named(name, main)


def table_rows(m):
    """Data rows of the point table and the cells of its last row."""
    grid = control(m, "StringGrid1")
    return (grid.get("rows", 0), grid.get("lastRow")) if grid else (None, None)


# Checks: (driver, map) -> None when the effect is there, else what is missing. The map
# is None once the program has ended (only the closing steps accept that).


def all_of(*checks):
    def check(d, m):
        for c in checks:
            reason = c(d, m)
            if reason:
                return reason
        return None
    return check


def page_shown(name):
    return lambda d, m: None if control(m, name) else f"page {name} is not shown"


def field_is(name, text):
    def check(d, m):
        w = control(m, name)
        if w is None:
            return f"field {name} is not shown"
        return None if w.text == text else f"field {name} holds {w.text!r}, not {text!r}"
    return check


def field_filled(name, what):
    return lambda d, m: None if control(m, name).text else what


def main_window_active(d, m):
    return None if m.is_active(m.main_window()) else "the main window is not the active window"


def file_dialog_open(d, m):
    return None if (m.active_modal() or {}).get("class") == "QFileDialog" else "no file dialog has the keyboard"


def message_box(prefix):
    """A message box starting with `prefix` is the active modal window."""
    def check(d, m):
        box = m.message_box()
        if box is None:
            return f"no message box “{prefix}…”"
        if not box.text.startswith(prefix):
            return f"the message box says {box.text!r}, not “{prefix}…”"
        if m.header["activeModal"] != box["id"] or not m.is_active(box):
            return f"the message box “{box.text}” is shown but does not have the keyboard"
        return None
    return check


def no_modal_and(then):
    """The message is closed and the program takes input again."""
    def check(d, m):
        box = m.message_box()
        if box is not None:
            return f"the message box “{box.text}” is still open"
        if m.active_modal() is not None:
            return f"a modal {m.active_modal()['class']} is still open"
        return then(d, m)
    return check


def imagery_dialog_open(d, m):
    modal = m.active_modal()
    if modal is None or not modal.get("title", "").startswith("影像图层"):
        return "the imagery dialog does not have the keyboard"
    return None if m.named("ImagerySource", modal) else "the imagery dialog has no source field"


def status_starts(prefix):
    def check(d, m):
        status = control(m, "StatusBar1").text
        return None if status.startswith(prefix) else f"the status line says {status!r}, not “{prefix}…”"
    return check


def imagery_shown(d, m):
    """Most of the map shows the orthophoto's colour, read off the screen itself."""
    render = next(iter(m.of_class("keldarn::earth::TerrainRenderWidget")), None)
    if render is None:
        return "no terrain view"
    r = render["rect"]
    shot = d.work / "imagery-check.png"
    subprocess.run(["import", "-silent", "-window", "root", "-crop", f"{r['w']}x{r['h']}+{r['x']}+{r['y']}",
                    str(shot)], env=d.env, capture_output=True, timeout=20)
    pixels = subprocess.run(["convert", str(shot), "-sample", "16x16!", "txt:-"], capture_output=True,
                            text=True, timeout=20).stdout
    colours = [tuple(int(h[i:i + 2], 16) for i in (0, 2, 4)) for h in re.findall(r"#([0-9A-Fa-f]{6})", pixels)]
    near = sum(1 for c in colours if all(abs(a - b) <= 40 for a, b in zip(c, ORTHO_RGB)))
    if not colours or near < len(colours) // 2:
        return f"{near} of {len(colours)} samples of the map show the orthophoto's colour"
    return None


def type_imagery_source(d):
    dialog = d.find("the imagery dialog", lambda m: m.window_titled("影像图层"))
    d.click(d.find("the source field", lambda m: m.named("ImagerySource", dialog)))
    d.key("ctrl+a")
    d.type_text(str(d.work / "e2e_ortho.png"))
    d.key("Return")


def typed_row_added(d, m):
    rows, last = table_rows(m)
    if rows != d.state["rows_before"] + 1:
        return f"the table has {rows} rows, expected {d.state['rows_before'] + 1}"
    name, desc, x, y, h = last
    if (name, desc, h) != (TYPED_POINT["name"], TYPED_DESCRIPTION, "123.400"):
        return f"the new row is {last}"
    expected = gauss_kruger_by_proj(float(TYPED_POINT["lat"]), float(TYPED_POINT["lon"]), CENTRAL_MERIDIAN)
    if expected and (abs(float(x) - expected[0]) > 0.002 or abs(float(y) - expected[1]) > 0.002):
        return f"X, Y of the new row are {x}, {y}; PROJ gives {expected[0]:.4f}, {expected[1]:.4f}"
    journal = d.app_dir / "Keldarn.journal"
    if not journal.exists() or journal.stat().st_size == 0:
        return "Keldarn.journal does not record the table"
    return None


def fields_moved(chosen):
    def check(d, m):
        offered = control(m, "ListBox1").get("items", [])
        picked = control(m, "ListBox2").get("items", [])
        if len(picked) != chosen or len(offered) != 5 - chosen:
            return f"the offered fields are {offered}, the chosen ones {picked}"
        return None
    return check


def export_written(d, m):
    path = d.work / "export.dat"
    if not path.exists():
        return f"{path.name} was not written"
    data = path.read_bytes()
    rows, last = table_rows(m)
    fields = control(m, "ListBox2").get("items", [])
    columns = [int(item[0]) for item in fields]
    # Name, description, Y (easting) before X (northing), height: the order in which the
    # program offers the fields, which << and >> keep.
    if columns != [0, 1, 3, 2, 4]:
        return f"the chosen fields are {fields}"
    if not data.endswith(b"\r\n") or data.count(b"\n") != data.count(b"\r\n"):
        return f"{path.name} does not end every line with CR LF: ...{data[-60:]!r}"
    lines = data.split(b"\r\n")[:-1]
    if len(lines) != rows:
        return f"{path.name} has {len(lines)} lines for {rows} rows"
    expected = ",".join(last[c].strip() for c in columns).encode("gb18030")
    if lines[-1] != expected:
        return f"the last line of {path.name} is {lines[-1]!r}, expected {expected!r} (GB18030)"
    return None


def estimate_given(d, m):
    text = control(m, "EditPn").text
    return None if text.isdigit() and int(text) > 0 else f"the estimated number of points is {text!r}"


def sampled_rows_added(heights=None):
    def check(d, m):
        rows, last = table_rows(m)
        if rows is None or rows <= d.state["rows_before"]:
            return f"no rows were added (the table has {rows})"
        if heights:
            h = float(last[4])
            if not heights[0] - 0.01 <= h <= heights[1] + 0.01:
                return f"the last sampled height {h} m is not one of the DEM's ({heights[0]}..{heights[1]} m)"
        return None
    return check


def dem_in_use(d, m):
    status = control(m, "StatusBar1").text
    if not status.startswith("地形数据：") or "e2e_dem" not in status:
        return f"the status line says {status!r}"
    if "e2e_dem.asc" not in (d.app_dir / "Keldarn.ini").read_text(encoding="utf-8"):
        return "Keldarn.ini does not remember the DEM"
    return None


def drawing_window_active(d, m):
    title = d.xdotool("getactivewindow", "getwindowname")
    if not title.startswith(DRAWING_TITLE):
        return f"the active window is “{title}”, not the drawing window"
    if not m.is_active(m.window_titled(DRAWING_TITLE)):
        return "the drawing window has the X focus but Qt does not see it as active"
    return None


def drawing_status(fragment):
    def check(d, m):
        window = m.window_titled(DRAWING_TITLE)
        if window is None:
            return "the drawing window is not shown"
        labels = [w.text for w in m.of_class("QLabel", window) if w.text]
        return None if any(fragment in t for t in labels) else f"the drawing window's status says {labels}"
    return check


def kml_written(d, m):
    path = d.work / "e2e_output.kml"
    if not path.exists():
        return f"{path.name} was not written"
    try:
        root = ET.fromstring(path.read_bytes())
    except ET.ParseError as error:
        return f"{path.name} is not XML: {error}"
    placemarks = [e for e in root.iter() if e.tag.endswith("Placemark")]
    points, lines = {}, []
    for placemark in placemarks:
        name = next((e.text for e in placemark if e.tag.endswith("name")), "")
        for geometry in placemark.iter():
            coords = next((e.text for e in geometry if e.tag.endswith("coordinates")), None)
            if coords is None:
                continue
            xy = [tuple(float(v) for v in c.split(",")[:2]) for c in coords.split()]
            if geometry.tag.endswith("Point"):
                points[name] = xy[0]
            elif geometry.tag.endswith("LineString"):
                lines.append(xy)
    # Back from the drawing, the coordinates are those of the KML drawn into it.
    if KML_POINT_NAME not in points:
        return f"no point placemark named {KML_POINT_NAME} among {len(placemarks)} placemarks"
    if not math.dist(points[KML_POINT_NAME], KML_POINT) < 1e-6:
        return f"the point came back at {points[KML_POINT_NAME]}, not {KML_POINT}"
    if len(lines) != 1 or len(lines[0]) != len(KML_LINE) or any(
            math.dist(a, b) >= 1e-6 for a, b in zip(lines[0], KML_LINE)):
        return f"the line string came back as {lines}, not {KML_LINE}"
    return None


def menu_item_shown(text):
    def check(d, m):
        return None if m.menu_action(text) is not None else f"no menu item {text} is shown"
    return check


def click_menu_item(text):
    def act(d):
        r = d.find(f"menu item {text}", lambda m: m.menu_action(text))["rect"]
        d.click_at(r["x"] + r["w"] // 2, r["y"] + r["h"] // 2)
    return act


def language_kept(value):
    def check(d, m):
        text = (d.app_dir / "Keldarn.ini").read_text(encoding="utf-8") if (d.app_dir / "Keldarn.ini").exists() else ""
        return None if re.search(rf"^\[Interface\]\s*^Language={value}\s*$", text, re.M) else \
            f"Keldarn.ini does not keep Language={value} under [Interface]"
    return check


def help_window_shown(d, m):
    window = next((w for w in m.windows() if w["name"] == "HelpWindow"), None)
    if window is None:
        return "no window named HelpWindow"
    if "帮助" not in window.get("title", ""):
        return f"the help window is titled {window.get('title')!r}"
    browser = next(iter(m.of_class("QTextBrowser", window)), None)
    if browser is None or "Keldarn" not in browser.text:
        return "the help window does not show the user's guide"
    return None if m.is_active(window) else "the help window is not the active window"


def help_window_closed(d, m):
    if any(w["name"] == "HelpWindow" for w in m.windows()):
        return "the help window is still shown"
    return main_window_active(d, m)


def drawing_question_or_end(d, m):
    if m is None:
        return None
    box = m.message_box()
    if box is not None and box.text.startswith("图形") and m.is_active(box):
        return None
    return "the program neither ended nor asked about the changed drawing"


def points_question(d, m):
    """The question before the end has the keyboard and counts the rows added since the
    export (the scenarios after it only add rows)."""
    export = d.work / "export.dat"
    exported = export.read_bytes().count(b"\r\n") if export.exists() else 0
    rows = table_rows(m)[0]
    if rows is None:
        return "the point table is not shown"
    return message_box(f"点表中有{rows - exported}个点尚未导出，退出后将丢失。是否退出？")(d, m)


def ended_normally(d, m):
    if m is not None:
        return "the program has not ended"
    if d.program.returncode != 0:
        return f"the program ended with exit status {d.program.returncode}"
    ini = d.app_dir / "Keldarn.ini"
    if not ini.exists():
        return "Keldarn.ini was not written"
    sections = re.findall(r"^\[(.+?)\]", ini.read_text(encoding="utf-8"), re.M)
    if "GEwin" not in sections or "GEzbzh" not in sections:
        return f"Keldarn.ini has the sections {sections}, not [GEwin] and [GEzbzh]"
    if (d.app_dir / "Keldarn.journal").exists():
        return "Keldarn.journal is still there after a normal end"
    return None


def gauss_kruger_by_proj(lat, lon, meridian):
    """(northing X, easting Y) from PROJ's transverse Mercator on the program's ellipsoid
    (geodesy/gauss_kruger.h), or None without the proj command."""
    if shutil.which("proj") is None:
        return None
    out = subprocess.run(["proj", "+proj=tmerc", f"+lon_0={meridian}", "+k_0=1", "+x_0=500000",
                          "+a=6378138", "+b=6356752.29821597", "-f", "%.4f"],
                         input=f"{lon} {lat}\n", capture_output=True, text=True, timeout=10).stdout.split()
    return float(out[1]), float(out[0])


# Acts with more than one input


def remember_rows(d):
    d.state["rows_before"] = table_rows(d.wait("the point table", lambda d, m: None, 5))[0]


def type_point(d):
    d.set_field("EditNam1", TYPED_POINT["name"])
    d.set_field("EditLat", TYPED_POINT["lat"])
    d.set_field("EditLon", TYPED_POINT["lon"])
    d.set_field("EditH1", TYPED_POINT["h"])


def press_after_counting_rows(button):
    def act(d):
        remember_rows(d)
        d.click_control(button)
    return act


def drag_over_canvas(d):
    # A crossing window, dragged from right to left, takes every entity it touches.
    canvas = d.find("the drawing canvas", lambda m: next(iter(m.of_class("keldarn::cad::DrawingCanvas")), None))
    r = canvas["rect"]
    x1, y1 = r["x"] + r["w"] - 6, r["y"] + r["h"] - 6
    x2, y2 = r["x"] + 6, r["y"] + 6
    d.xdotool("mousemove", "--sync", x1, y1, "mousedown", 1)
    for t in (0.25, 0.5, 0.75, 1.0):
        d.xdotool("mousemove", "--sync", round(x1 + (x2 - x1) * t), round(y1 + (y2 - y1) * t))
    d.xdotool("mouseup", 1)


def close_main_window(d):
    # A click on the status line makes the main window active, as a user would do; openbox
    # turns Alt+F4 into the window manager's close request.
    d.click(d.find("the status line", lambda m: control(m, "StatusBar1")))
    d.wait("the main window is active", main_window_active, 5)
    d.key("alt+F4")


def answer_yes(d):
    m = d.read_map()
    box = m.message_box()
    button = next((w for w in m.in_window(box) if w.get("standardButton") == YES_BUTTON), None) if box else None
    if button is None:
        raise StepFailed("no question with a 是 button is shown")
    d.click(button)


def discard_drawing_if_asked(d):
    m = d.read_map() if d.program.poll() is None else None
    box = m.message_box() if m else None
    if box is not None:
        button = next((w for w in m.in_window(box) if w.get("standardButton") == DISCARD_BUTTON), None)
        if button is None:
            raise StepFailed(f"the question “{box.text}” offers no Discard button")
        d.click(button)


# The steps


@dataclass
class Step:
    name: str
    act: Callable
    expect: Callable
    timeout: float = 5.0
    # The closing steps: the program may end, and then the check gets no map.
    may_end: bool = False


@dataclass
class Scenario:
    key: str
    steps: list
    needs: tuple = ()


# Steps a scenario needs done once in the program's run: conversions and sampling read
# the central meridian of the projection zone.
SETUPS = {
    "meridian": [
        Step("menu-projection", lambda d: d.menu("SetButton", "投影设置"),
             all_of(page_shown("PageSet"), field_filled("EditLL", "no central meridian was proposed"))),
        Step("type-meridian", lambda d: d.set_field("EditLL", CENTRAL_MERIDIAN), field_is("EditLL", CENTRAL_MERIDIAN)),
    ],
}

SCENARIOS = [
    Scenario("typed", needs=("meridian",), steps=[
        Step("menu-manual-entry", lambda d: d.menu("DataButton", "手工录入"), page_shown("PageAdd")),
        Step("type-point", type_point,
             all_of(field_is("EditNam1", TYPED_POINT["name"]), field_is("EditLat", TYPED_POINT["lat"]),
                    field_is("EditLon", TYPED_POINT["lon"]), field_is("EditH1", TYPED_POINT["h"]))),
        Step("adopt", press_after_counting_rows("Button1"), typed_row_added),
    ]),
    Scenario("export", steps=[
        Step("menu-export", lambda d: d.menu("FileButton", "导出数据"), page_shown("PageOut")),
        Step("remove-all-fields", lambda d: d.click_control("SpeedButton5"), fields_moved(0)),
        Step("add-all-fields", lambda d: d.click_control("SpeedButton1"), fields_moved(5)),
        Step("press-export", lambda d: d.click_control("Button2"), file_dialog_open),
        Step("save-as", lambda d: d.file_dialog(d.work / "export.dat"),
             all_of(message_box("数据导出完毕！"), export_written)),
        Step("close-message", lambda d: d.key("Return"), no_modal_and(main_window_active)),
    ]),
    Scenario("sampling", needs=("meridian",), steps=[
        Step("menu-auto", lambda d: d.menu("DataButton", "自动采集"),
             all_of(page_shown("PageAuto"), field_filled("EditDx", "the view was not measured"))),
        Step("spacing", lambda d: d.set_field("EditPd", "200"), field_is("EditPd", "200")),
        Step("refresh", lambda d: d.click_control("Button8"), estimate_given),
        Step("sample", press_after_counting_rows("Button5"),
             all_of(message_box("数据采集结束，用时"), sampled_rows_added()), 60),
        # The message used to take no input at all: the run's input guard outlived the run.
        Step("close-message", lambda d: d.key("Return"), no_modal_and(main_window_active)),
        Step("next-command", lambda d: d.menu("DataButton", "手工录入"), page_shown("PageAdd")),
    ]),
    Scenario("dem", needs=("meridian",), steps=[
        Step("menu-dem-file", lambda d: d.menu("SetButton", "地形数据文件..."), file_dialog_open),
        Step("open-dem", lambda d: d.file_dialog(d.work / "e2e_dem.asc"),
             no_modal_and(all_of(main_window_active, dem_in_use)), 15),
        Step("menu-auto", lambda d: d.menu("DataButton", "自动采集"),
             all_of(page_shown("PageAuto"), field_filled("EditDx", "the view was not measured"))),
        Step("spacing", lambda d: (d.set_field("EditPd", "250"), d.click_control("Button8")),
             all_of(field_is("EditPd", "250"), estimate_given)),
        Step("sample", press_after_counting_rows("Button5"),
             all_of(message_box("数据采集结束，用时"), sampled_rows_added(DEM_HEIGHTS_M)), 60),
        Step("close-message", lambda d: d.key("Return"), no_modal_and(main_window_active)),
    ]),
    # Over the DEM of the scenario before: an orthophoto, and a KML on the map.
    Scenario("map-layers", steps=[
        Step("menu-imagery", lambda d: d.menu("SetButton", "影像图层..."), imagery_dialog_open),
        Step("type-source", type_imagery_source, no_modal_and(all_of(main_window_active, imagery_shown)), 15),
        Step("menu-kml-overlay", lambda d: d.menu("FileButton", "在地图上显示KML..."), file_dialog_open),
        Step("open-kml", lambda d: d.file_dialog(d.work / "e2e_input.kml"),
             no_modal_and(all_of(main_window_active, status_starts("地图上显示KML：e2e_input.kml")))),
    ]),
    # Terrain products over the same DEM: a boundary and a route clicked on the map.
    Scenario("boundary", needs=("meridian",), steps=[
        Step("menu-boundary", lambda d: d.menu("DataButton", "区域采点..."), product_dialog_open("区域采点")),
        Step("choose-map-and-spacing", answer_product_dialog("区域采点", "100", True),
             no_modal_and(status_starts("在地图上左键点选边界顶点"))),
        Step("click-boundary", remember_rows_then(click_on_map([(0.3, 0.3), (0.7, 0.3), (0.5, 0.7)], "right")),
             all_of(message_box("区域采点结束，共采集"), sampled_rows_added(DEM_HEIGHTS_M)), 60),
        Step("close-message", lambda d: d.key("Return"), no_modal_and(main_window_active)),
    ]),
    Scenario("profile", needs=("meridian",), steps=[
        Step("menu-profile", lambda d: d.menu("DataButton", "纵断面..."), product_dialog_open("纵断面")),
        Step("choose-map-and-interval", answer_product_dialog("纵断面", "50", True),
             no_modal_and(status_starts("在地图上左键点选路线顶点"))),
        Step("click-route", click_on_map([(0.3, 0.5), (0.5, 0.4), (0.7, 0.6)], "Return"), profile_window_shown, 30),
        Step("add-to-table", remember_rows_then(click_profile_button("加入点表")), chainage_rows_added),
        Step("close-profile", lambda d: d.key("alt+F4"), profile_window_closed),
    ]),
    Scenario("kml-to-drawing", needs=("meridian",), steps=[
        Step("new-drawing", lambda d: d.menu("ConvertButton", "新建CAD图形"), drawing_window_active),
        Step("menu-kml", lambda d: d.menu("ConvertButton", "KML文件转为CAD图形"), file_dialog_open),
        Step("open-kml", lambda d: d.file_dialog(d.work / "e2e_input.kml"),
             all_of(message_box("绘图结束，请切换到CAD窗口查看结果。"), drawing_status("文字 1 个，多段线 1 个"))),
        Step("close-message", lambda d: d.key("Return"), no_modal_and(drawing_window_active)),
    ]),
    Scenario("drawing-to-kml", needs=("meridian",), steps=[
        Step("menu-cad-to-kml", lambda d: d.menu("ConvertButton", "CAD图形转为KML文件"), file_dialog_open),
        Step("save-as", lambda d: d.file_dialog(d.work / "e2e_output.kml"),
             all_of(drawing_window_active, drawing_status("选择对象"))),
        Step("pick-window", drag_over_canvas, drawing_status("已选 2 个")),
        Step("finish-pick", lambda d: d.key("Return"), all_of(message_box("图形转换完毕，"), kml_written)),
        Step("close-message", lambda d: d.key("Return"), no_modal_and(lambda d, m: None)),
    ]),
    # Contours of the ground in view into the drawing of the scenarios before.
    Scenario("contours", needs=("meridian",), steps=[
        Step("menu-contours", lambda d: d.menu("ConvertButton", "等高线到CAD图形..."), product_dialog_open("等高线到CAD图形")),
        Step("interval", answer_product_dialog("等高线到CAD图形", "10", False), message_box("已把"), 60),
        Step("close-message", lambda d: d.key("Return"), no_modal_and(drawing_status("多段线"))),
    ]),
    Scenario("language", steps=[
        Step("menu-language", lambda d: d.menu("SetButton", "界面语言"), menu_item_shown("中文")),
        Step("choose-chinese", click_menu_item("中文"), message_box("界面语言将在下次启动程序时更改")),
        Step("close-message", lambda d: d.key("Return"), no_modal_and(all_of(main_window_active, language_kept("zh")))),
    ]),
    Scenario("help", steps=[
        Step("menu-help", lambda d: d.menu("HelpButton", "帮助文档"), help_window_shown),
        Step("close-help", lambda d: d.key("alt+F4"), help_window_closed),
    ]),
    # Rows not exported ask before the program ends: Enter keeps it open (否 is the default),
    # 是 goes on. A changed drawing asks then; the answer is to discard it.
    Scenario("close", needs=("meridian",), steps=[
        Step("menu-manual-entry", lambda d: d.menu("DataButton", "手工录入"), page_shown("PageAdd")),
        Step("type-point", type_point, field_is("EditNam1", TYPED_POINT["name"])),
        Step("adopt", press_after_counting_rows("Button1"), typed_row_added),
        Step("close-request", close_main_window, points_question, 10),
        Step("keep-open", lambda d: d.key("Return"), no_modal_and(main_window_active)),
        Step("close-again", close_main_window, points_question, 10),
        Step("answer-yes", answer_yes, drawing_question_or_end, 10, may_end=True),
        Step("end", discard_drawing_if_asked, ended_normally, 15, may_end=True),
    ]),
]


# The driver


@dataclass
class Outcome:
    label: str
    passed: bool
    message: str = ""


class Driver:
    def __init__(self, args):
        self.args = args
        self.work = Path(args.work).resolve()
        self.shots = Path(args.screenshots).resolve()
        self.app_dir = self.work / "app"
        self.map_path = self.work / "widget-map.jsonl"
        self.env = None
        self.xvfb = self.wm = self.program = None
        self.facts = set()
        self.state = {}
        self.counter = 0
        self.outcomes = []

    # -- processes ---------------------------------------------------------------------

    def prepare(self):
        missing = [t for t in ("Xvfb", "openbox", "xdotool", "import") if shutil.which(t) is None]
        if missing:
            raise StepFailed(f"missing {', '.join(missing)} (scripts/bootstrap.sh installs them)")
        if not list(Path(self.args.plugin_path, "generic").glob("*.so")):
            raise StepFailed(f"no widget map plugin in {self.args.plugin_path}/generic: build keldarn_widget_map")
        if self.work.exists():
            shutil.rmtree(self.work)
        self.app_dir.mkdir(parents=True)
        (self.work / "config").mkdir()
        (self.work / "runtime").mkdir(mode=0o700)
        self.shots.mkdir(parents=True, exist_ok=True)
        for old in self.shots.glob("*.png"):
            old.unlink()
        # The program keeps its settings and journal beside the executable: a copy of its
        # own leaves those of the build folder alone.
        shutil.copy2(self.args.program, self.app_dir / "keldarn")
        shutil.copy2(self.args.help_file, self.app_dir / "help.html")
        write_fixtures(self.work)
        # No desktop: Qt's own file dialogs, and openbox's default configuration.
        self.env = {k: v for k, v in os.environ.items()
                    if k not in ("QT_QPA_PLATFORM", "QT_QPA_PLATFORMTHEME", "XDG_CURRENT_DESKTOP",
                                 "DESKTOP_SESSION", "WAYLAND_DISPLAY", "XAUTHORITY", "SESSION_MANAGER")}
        # The interface follows the user's language list ($LANGUAGE first): Chinese here.
        self.env.update({"LANG": "C.UTF-8", "LC_ALL": "C.UTF-8", "LANGUAGE": "zh_CN", "NO_AT_BRIDGE": "1",
                         "XDG_CONFIG_HOME": str(self.work / "config"),
                         "XDG_CACHE_HOME": str(self.work / "cache"),
                         "XDG_RUNTIME_DIR": str(self.work / "runtime")})

    def start_display(self):
        read_fd, write_fd = os.pipe()
        log = open(self.work / "xvfb.log", "wb")
        # Xvfb picks a free display itself and writes its number once it takes clients.
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24",
             "-dpi", "96", "-nolisten", "tcp"],
            pass_fds=(write_fd,), stdout=log, stderr=log, env=self.env)
        os.close(write_fd)
        # The number may come in more than one write, and Xvfb gives up when the pipe
        # closes before the line end.
        received = b""
        deadline = time.monotonic() + 15
        while not received.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([read_fd], [], [], max(0.0, deadline - time.monotonic()))
            chunk = os.read(read_fd, 64) if ready else b""
            if not chunk:
                break
            received += chunk
        os.close(read_fd)
        if not received.endswith(b"\n"):
            raise StepFailed("Xvfb did not start within 15 s (see xvfb.log)")
        self.env["DISPLAY"] = ":" + received.decode().strip()
        self.wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                   stdout=open(self.work / "openbox.log", "wb"), stderr=subprocess.STDOUT)
        # The window manager is up once the root window has its EWMH desktop.
        deadline = time.monotonic() + 10
        while subprocess.run(["xdotool", "get_desktop"], env=self.env, capture_output=True,
                             timeout=5).returncode != 0:
            if time.monotonic() > deadline:
                raise StepFailed("openbox did not start within 10 s (see openbox.log)")
            time.sleep(0.1)

    def start_program(self, arguments=(), ready=None):
        """Starts the program with `arguments` on its command line and waits until
        `ready` (by default: its main window is shown and active)."""
        if self.map_path.exists():
            self.map_path.unlink()
        env = dict(self.env)
        env.update({"QT_QPA_PLATFORM": "xcb",
                    "QT_QPA_GENERIC_PLUGINS": "keldarn_widget_map",
                    "QT_PLUGIN_PATH": str(Path(self.args.plugin_path).resolve()),
                    "KELDARN_E2E_WIDGET_MAP": str(self.map_path),
                    # No session bus: nothing of the desktop's reaches the program, and
                    # libdbus does not try to start a bus (which leaves memory behind).
                    "DBUS_SESSION_BUS_ADDRESS": f"unix:path={self.work / 'no-session-bus'}"})
        self.program = subprocess.Popen([str(self.app_dir / "keldarn"), *map(str, arguments)], cwd=self.work,
                                        env=env, stdout=open(self.work / "keldarn.log", "ab"),
                                        stderr=subprocess.STDOUT)
        self.facts = set()
        if ready is None:
            self.wait("the program starts: its main window is shown and active", main_window_active, 30)
        else:
            self.wait(*ready)

    def stop_program(self):
        if self.program and self.program.poll() is None:
            self.program.kill()
            self.program.wait(10)
        # A killed run leaves its journal, and the next start would offer to recover it.
        journal = self.app_dir / "Keldarn.journal"
        if journal.exists():
            journal.unlink()

    def shutdown(self):
        for process in (self.program, self.wm, self.xvfb):
            if process and process.poll() is None:
                process.terminate()
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait(5)

    # -- the widget map ----------------------------------------------------------------

    def read_map(self):
        try:
            lines = self.map_path.read_text(encoding="utf-8").splitlines()
            return WidgetMap(json.loads(lines[0]), [json.loads(line) for line in lines[1:]])
        except (OSError, IndexError, ValueError):
            return None

    def current_seq(self):
        m = self.read_map()
        return m.seq if m else 0

    def wait(self, what, check, timeout, after_seq=0, may_end=False):
        """Waits until `check` finds nothing missing on a map written after map number
        `after_seq`, and returns that map."""
        deadline = time.monotonic() + timeout
        reason = "no widget map was written (is the plugin loaded?)"
        while True:
            ended = self.program is not None and self.program.poll() is not None
            if ended and not may_end:
                raise StepFailed(f"{what}: the program ended (exit status {self.program.returncode})")
            m = None if ended else self.read_map()
            if m is not None and m.seq <= after_seq:
                reason = "the program wrote no widget map since the input: its event loop does not run"
            elif m is not None or ended:
                try:
                    reason = check(self, m)
                except (KeyError, IndexError, TypeError, ValueError, AttributeError, OSError) as error:
                    reason = f"the check could not read what it needs: {error!r}"
                if not reason:
                    return m
            if time.monotonic() > deadline:
                # A message the step did not expect is most often why it failed.
                box = m.message_box() if m is not None else None
                if box is not None and box.text not in reason:
                    reason += f" (a message box says “{box.text}”)"
                raise StepFailed(f"{what}: not so after {timeout:g} s: {reason}")
            time.sleep(MAP_POLL_S)

    def find(self, what, finder, timeout=5):
        found = []

        def check(d, m):
            w = finder(m)
            if w is None:
                return f"{what} is not shown"
            found.append(w)
            return None
        self.wait(f"find {what}", check, timeout)
        return found[-1]

    # -- input -------------------------------------------------------------------------

    def xdotool(self, *args):
        result = subprocess.run(["xdotool", *map(str, args)], env=self.env, capture_output=True,
                                text=True, timeout=20)
        if result.returncode != 0:
            raise StepFailed(f"xdotool {' '.join(map(str, args))}: {result.stderr.strip()}")
        return result.stdout.strip()

    def click_at(self, x, y):
        self.xdotool("mousemove", "--sync", x, y, "click", 1)

    def click(self, widget):
        self.click_at(*widget.centre)

    def click_control(self, name):
        self.click(self.find(f"control {name}", lambda m: control(m, name)))

    def key(self, *keys):
        self.xdotool("key", *keys)

    def type_text(self, text):
        self.xdotool("type", "--delay", 15, "--", text)

    def set_field(self, name, text):
        self.click(self.find(f"field {name}", lambda m: control(m, name)))
        self.key("ctrl+a")
        self.type_text(text)

    def menu(self, button, item):
        self.click_control(button)
        r = self.find(f"menu item {item}", lambda m: m.menu_action(item))["rect"]
        self.click_at(r["x"] + r["w"] // 2, r["y"] + r["h"] // 2)

    def file_dialog(self, path):
        """Types `path` into the file name field of the open file dialog and presses Return."""
        dialog = self.find("the file dialog", lambda m: m.active_modal() if not file_dialog_open(self, m) else None)
        self.click(self.find("the file name field", lambda m: m.named("fileNameEdit", dialog)))
        self.key("ctrl+a")
        self.type_text(str(path))
        self.wait("the file name is typed", lambda d, m: None if (m.named("fileNameEdit", dialog) or {}).get(
            "text") == str(path) else "the file name field does not hold the path", 5)
        # The first Return may only close the completion list under the field.
        for _ in range(2):
            self.key("Return")
            try:
                self.wait("the file dialog closes", lambda d, m: None if not any(
                    w["id"] == dialog["id"] for w in m.windows()) else "the file dialog is still open", 2,
                    self.current_seq())
                return
            except StepFailed:
                continue
        raise StepFailed(f"the file dialog did not take {path}")

    # -- running -----------------------------------------------------------------------

    def screenshot(self, label):
        # PNG at zlib level 1 without filtering: a tenth of a second instead of 1.5 s.
        subprocess.run(["import", "-silent", "-window", "root", "-quality", "10", str(self.shots / f"{label}.png")],
                       env=self.env, capture_output=True, timeout=20)

    def run_step(self, scenario, step):
        self.counter += 1
        label = f"{self.counter:02d}-{scenario}-{step.name}"
        started = time.monotonic()
        try:
            seq = self.current_seq()
            step.act(self)
            self.wait(step.name, step.expect, step.timeout, max(seq, self.current_seq()), step.may_end)
        except (StepFailed, subprocess.TimeoutExpired) as error:
            self.screenshot(f"{label}-FAILED")
            self.outcomes.append(Outcome(label, False, str(error)))
            print(f"FAIL {label}: {error}", flush=True)
            raise StepFailed(str(error)) from None
        self.screenshot(label)
        self.outcomes.append(Outcome(label, True))
        print(f"pass {label} ({time.monotonic() - started:.1f} s)", flush=True)

    def program_usable(self):
        """Running, its event loop turning, no modal window or menu left open."""
        if self.program is None or self.program.poll() is not None:
            return False
        try:
            m = self.wait("the event loop runs", lambda d, m: None, 2, self.current_seq())
        except StepFailed:
            return False
        return m.active_modal() is None and not m.of_class("QMenu")

    def run(self, scenarios):
        started = time.monotonic()
        self.prepare()
        self.start_display()
        self.start_program()
        self.screenshot("00-started")
        for scenario in scenarios:
            if time.monotonic() - started > RUN_LIMIT_S:
                self.outcomes.append(Outcome(scenario.key, False, f"not run: {RUN_LIMIT_S} s are used up"))
                continue
            try:
                if not self.program_usable():
                    print(f"---- restarting the program for {scenario.key}", flush=True)
                    self.stop_program()
                    try:
                        self.start_program()
                    except StepFailed as error:
                        self.outcomes.append(Outcome(f"{scenario.key}-restart", False, str(error)))
                        raise
                for need in scenario.needs:
                    if need not in self.facts:
                        for step in SETUPS[need]:
                            self.run_step(scenario.key, step)
                        self.facts.add(need)
                for step in scenario.steps:
                    self.run_step(scenario.key, step)
            except StepFailed:
                continue
        return time.monotonic() - started


# Fixtures


def write_fixtures(work):
    # A DEM as an ESRI ASCII grid with its WGS 84 .prj: a plane rising from west to east
    # over DEM_HEIGHTS_M, 0.04° by 0.03° in cells of 0.0005°.
    cols, rows, cell = 80, 60, 0.0005
    low, high = DEM_HEIGHTS_M
    row = " ".join(f"{low + (high - low) * c / (cols - 1):.2f}" for c in range(cols))
    header = [f"ncols {cols}", f"nrows {rows}", "xllcorner 113.90", "yllcorner 34.00", f"cellsize {cell}",
              "NODATA_value -9999"]
    (work / "e2e_dem.asc").write_text("\n".join(header + [row] * rows) + "\n")
    (work / "e2e_dem.prj").write_text(
        'GEOGCS["GCS_WGS_1984",DATUM["D_WGS_1984",SPHEROID["WGS_1984",6378137.0,298.257223563]],'
        'PRIMEM["Greenwich",0.0],UNIT["Degree",0.0174532925199433]]')
    # The orthophoto: a PNG of one colour with its world file and .prj, 0.001° cells over
    # 113.88–113.96 E, 33.98–34.05 N.
    width, height = 80, 70
    raw = b"".join(b"\0" + bytes(ORTHO_RGB) * width for _ in range(height))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    (work / "e2e_ortho.png").write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                                         + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))
    (work / "e2e_ortho.pgw").write_text("0.001\n0\n0\n-0.001\n113.8805\n34.0495\n")
    shutil.copy(work / "e2e_dem.prj", work / "e2e_ortho.prj")
    line = " ".join(f"{x},{y},0" for x, y in KML_LINE)
    (work / "e2e_input.kml").write_text(
        '<?xml version="1.0" encoding="UTF-8"?>\n'
        '<kml xmlns="http://www.opengis.net/kml/2.2"><Document><name>e2e</name>\n'
        f'<Placemark><name>{KML_POINT_NAME}</name><Point><coordinates>{KML_POINT[0]},{KML_POINT[1]},0'
        '</coordinates></Point></Placemark>\n'
        f'<Placemark><name>边界</name><LineString><coordinates>{line}</coordinates></LineString></Placemark>\n'
        '</Document></kml>\n', encoding="utf-8")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True, help="the built keldarn executable")
    parser.add_argument("--help-file", required=True, help="the built help.html")
    parser.add_argument("--plugin-path", required=True, help="folder holding generic/libkeldarn_widget_map.so")
    parser.add_argument("--work", required=True, help="scratch folder, emptied first")
    parser.add_argument("--screenshots", required=True, help="folder of the screenshots, its PNGs replaced")
    parser.add_argument("--only", help="scenario keys to run, comma separated (the rest are left out)")
    args = parser.parse_args()

    scenarios = SCENARIOS
    if args.only:
        scenarios = [s for s in SCENARIOS if s.key in args.only.split(",")]
    # Stopped from outside (ctest's timeout, Ctrl+C): Xvfb, openbox and the program go too.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    # A fault of the program fails every run; a failed run is tried once more on a fresh
    # display, so that a hiccup of the virtual display alone does not fail the suite. The
    # first run's screenshots and log stay beside the second's.
    for attempt in (1, 2):
        status = run_once(args, scenarios)
        if status == 0 or attempt == 2:
            return status
        first = Path(args.screenshots).resolve().with_name("e2e-screenshots-first-run")
        shutil.rmtree(first, ignore_errors=True)
        shutil.copytree(Path(args.screenshots).resolve(), first)
        if (Path(args.work) / "keldarn.log").exists():
            shutil.copy2(Path(args.work) / "keldarn.log", first / "keldarn.log")
        print(f"\n---- the run failed; once more on a fresh display (the first run's screenshots: {first})\n",
              flush=True)
    return status


def run_once(args, scenarios):
    driver = Driver(args)
    status = 1
    try:
        seconds = driver.run(scenarios)
        failed = [o for o in driver.outcomes if not o.passed]
        print(f"\n{len(driver.outcomes) - len(failed)} steps passed, {len(failed)} failed in {seconds:.0f} s; "
              f"screenshots in {driver.shots}")
        for o in failed:
            print(f"  FAILED {o.label}: {o.message}")
        status = 1 if failed else 0
    except (StepFailed, subprocess.TimeoutExpired) as error:
        print(f"e2e: {error}", file=sys.stderr)
        if driver.env and "DISPLAY" in driver.env:
            driver.screenshot("FAILED-setup")
    finally:
        driver.shutdown()
    if status != 0 and (driver.work / "keldarn.log").exists():
        log = (driver.work / "keldarn.log").read_text(errors="replace").splitlines()
        print("---- keldarn.log, last lines\n" + "\n".join(log[-30:]))
    return status

if __name__ == "__main__":
    sys.exit(main())
