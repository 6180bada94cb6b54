#!/usr/bin/env python3
"""The Debian package, checked as a user's machine would take it.

Builds keldarn_<version>_amd64.deb with CPack from the build folder, runs lintian,
desktop-file-validate and appstreamcli on it, extracts it with dpkg-deb into a scratch root
and starts the extracted program under Xvfb in an English locale: it must find its
translation and its English guide under the root's share/keldarn, write its settings under
$XDG_CONFIG_HOME and nothing under the root, and open a DXF given on its command line in
the drawing window. The extracted keldarn-cli prints its help in English or Chinese by the
user's language list. The program is driven as in the end-to-end test (keldarn_e2e.py).
"""

import argparse
import re
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "e2e"))
import keldarn_e2e as e2e  # noqa: E402

CJK = re.compile(r"[\u3400-\u9fff\uff00-\uffef\u3000-\u303f]")
# Files a user's installation must hold, relative to the root.
EXPECTED = [
    "usr/bin/keldarn", "usr/bin/keldarn-cli",
    "usr/share/keldarn/help.html", "usr/share/keldarn/help_en.html",
    "usr/share/keldarn/translations/keldarn_en.qm",
    "usr/share/applications/keldarn.desktop", "usr/share/metainfo/org.keldarn.keldarn.metainfo.xml",
    "usr/share/mime/packages/keldarn.xml",
    "usr/share/icons/hicolor/scalable/apps/keldarn.svg", "usr/share/icons/hicolor/48x48/apps/keldarn.png",
    "usr/share/man/man1/keldarn.1.gz", "usr/share/doc/keldarn/copyright", "usr/share/doc/keldarn/changelog.gz",
]
DXF = """0\nSECTION\n2\nENTITIES\n0\nTEXT\n8\n0\n10\n500.0\n20\n300.0\n30\n0.0\n40\n2.5\n1\nBM1\n0\nENDSEC\n0\nEOF\n"""


def run(command, **kwargs):
    result = subprocess.run(command, capture_output=True, text=True, **kwargs)
    output = (result.stdout + result.stderr).strip()
    return result.returncode, output


def check_tools(deb, root):
    failures = []
    status, output = run(["lintian", "--fail-on", "error", "--no-tag-display-limit", str(deb)])
    print("lintian:\n" + (output or "  (no tags)"))
    if status != 0:
        failures.append("lintian reports errors")
    status, output = run(["desktop-file-validate", str(root / "usr/share/applications/keldarn.desktop")])
    if status != 0 or "error" in output:
        failures.append(f"desktop-file-validate: {output}")
    status, output = run(["appstreamcli", "validate", "--no-net",
                          str(root / "usr/share/metainfo/org.keldarn.keldarn.metainfo.xml")])
    if status != 0:
        failures.append(f"appstreamcli validate: {output}")
    _, depends = run(["dpkg-deb", "-f", str(deb), "Depends"])
    print("Depends: " + depends)
    for library in ("libqt6widgets6", "libgdal"):
        if library not in depends:
            failures.append(f"the package does not depend on {library} (dpkg-shlibdeps did not run?)")
    # The extracted keldarn-cli finds the translation under the root's share/keldarn.
    for language, expect_chinese in (("en", False), ("zh_CN", True)):
        env = {"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8", "LANGUAGE": language}
        status, output = run([str(root / "usr/bin/keldarn-cli"), "--help"], env=env)
        if status != 0 or bool(CJK.search(output)) != expect_chinese:
            failures.append(f"keldarn-cli --help with LANGUAGE={language}: {output[:200]!r}")
    missing = [path for path in EXPECTED if not (root / path).is_file()]
    if missing:
        failures.append("missing from the package: " + ", ".join(missing))
    return failures


class InstalledDriver(e2e.Driver):
    """The e2e driver, running the extracted /usr/bin/keldarn where it lies."""

    def __init__(self, args, root):
        super().__init__(args)
        self.root = root

    def prepare(self):
        self.args.program = str(self.root / "usr/bin/keldarn")
        self.args.help_file = str(self.root / "usr/share/keldarn/help.html")
        super().prepare()
        self.app_dir = self.root / "usr/bin"
        # An English-speaking user's session: the C locale, no Chinese in the language list.
        self.env["LANGUAGE"] = "en"


def chinese_in(texts):
    return [t for t in texts if CJK.search(t)]


def main_window_english(d, m):
    window = m.main_window()
    texts = [window.get("title", "")] + [w.text for w in m.in_window(window)]
    texts += [a["text"] for menu in m.of_class("QMenu") for a in menu.get("actions", [])]
    found = chinese_in(texts)
    return f"Chinese text in the English main window: {found[:5]}" if found else None


def english_help_shown(d, m):
    window = next((w for w in m.windows() if w["name"] == "HelpWindow"), None)
    if window is None:
        return "no help window"
    browser = next(iter(m.of_class("QTextBrowser", window)), None)
    if browser is None or "Keldarn" not in browser.text:
        return "the help window shows no guide"
    found = chinese_in([window.get("title", ""), browser.text])
    return f"the guide is not the English one: {found[:3]}" if found else None


def drawing_opened(d, m):
    window = next((w for w in m.windows() if w["class"] == "keldarn::cad::DrawingWindow"), None)
    if window is None:
        return "no drawing window"
    return None if "given.dxf" in window.get("title", "") else f"the drawing window is titled {window.get('title')!r}"


def ended_or_asks(d, m):
    return None if m is None or m.message_box() is not None else "the program is still running"


def run_installed(args, root):
    before = sorted(p for p in root.rglob("*"))
    driver = InstalledDriver(args, root)
    failures = []
    try:
        driver.prepare()
        dxf = driver.work / "given.dxf"
        dxf.write_text(DXF)
        driver.start_display()
        driver.start_program([dxf], ("the DXF given on the command line opens in the drawing window",
                                     drawing_opened, 30))
        driver.screenshot("installed-01-drawing")
        driver.wait("the main window is English", main_window_english, 5)
        driver.key("Escape")
        help_button = driver.find("the help menu button", lambda m: e2e.control(m, "HelpButton"))
        driver.click(help_button)
        menu = driver.find("the help menu", lambda m: next(iter(m.of_class("QMenu")), None))
        first = menu["actions"][0]["rect"]
        driver.click_at(first["x"] + first["w"] // 2, first["y"] + first["h"] // 2)
        driver.wait("the English guide is shown", english_help_shown, 10)
        driver.screenshot("installed-02-help")
        driver.key("Escape")
        e2e.close_main_window(driver)
        driver.wait("the program ends, or asks about the drawing", ended_or_asks, 20, may_end=True)
        e2e.discard_drawing_if_asked(driver)
        driver.program.wait(20)
        settings = driver.work / "config/keldarn/Keldarn.ini"
        if not settings.is_file():
            failures.append(f"no settings file at {settings}")
        after = sorted(p for p in root.rglob("*"))
        if after != before:
            failures.append("the program wrote under the installed root: "
                            + ", ".join(str(p) for p in set(after) - set(before)))
    except (e2e.StepFailed, subprocess.TimeoutExpired) as error:
        driver.screenshot("installed-FAILED")
        failures.append(str(error))
    finally:
        driver.shutdown()
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--plugin-path", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    work = Path(args.work).resolve()
    subprocess.run(["rm", "-rf", str(work)], check=True)
    (work / "deb").mkdir(parents=True)

    status, output = run(["cpack", "-G", "DEB", "-B", str(work / "deb")], cwd=args.build_dir)
    debs = sorted((work / "deb").glob("keldarn_*_amd64.deb"))
    if status != 0 or not debs:
        print("cpack failed:\n" + output)
        return 1
    deb = debs[0]
    print(f"built {deb.name}, {deb.stat().st_size // 1024} KiB")
    root = work / "root"
    subprocess.run(["dpkg-deb", "-x", str(deb), str(root)], check=True)

    failures = check_tools(deb, root)
    e2e_args = argparse.Namespace(program="", help_file="", plugin_path=args.plugin_path,
                                  work=str(work / "run"), screenshots=str(work / "screenshots"), only=None)
    failures += run_installed(e2e_args, root)
    for failure in failures:
        print("FAILED: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
