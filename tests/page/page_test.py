#!/usr/bin/env python3
"""The control panel that camknobd serves at GET /, in headless Chromium:
camknobd-sim runs over a temporary copy of a fixture, the browser opens the
login link of its start line, and each test works the page as a user would
and reads the fixture file to see what the camera was told.

    page_test.py --camknobd-sim PATH --camknob-sim PATH [TEST ...]
    page_test.py --camknobd-sim PATH --screenshot FILE.png

TEST names a class or a class.method (all of them without). Exits with 77
(CTest's skip) when Chromium, chromedriver or selenium is missing. After
every test: no request went anywhere but camknobd's own address, and the
console holds no error. Figures (time to draw, changes a second while
dragging) are printed, not held to a limit.
"""

import argparse
import json
import os
import re
import shutil
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from page_harness import (  # noqa: E402
    SKIP,
    Browser,
    Daemon,
    Fixture,
    Relay,
    missing_tools,
    position_record,
    run_sim,
    single,
    wait_until,
)

EXAMPLES = os.path.join(os.path.dirname(os.path.dirname(HERE)), "examples")
PROGRAMS = {}  # "camknobd-sim", "camknob-sim": paths, from the command line


def text_of(path):
    with open(path, encoding="utf-8") as text:
        return text.read()


DEMO = os.path.join(EXAMPLES, "demo-system.json")
OWN = os.path.join(HERE, "page-test-system.json")

# The widgets of a row, by the data-role of its inputs, selects and buttons.
SLIDER = {"value", "value-number"}
NUMBER = {"value-number"}
MENU = {"menu"}
AUTOMATIC = {"automatic"}
ON = {"on"}
FIXED = set()
POSITION = {"pan", "tilt", "go", "home"}
PAD = {"move-up", "move-left", "move-right", "move-down", "stop", "speed"}
ZOOM = {"zoom-in", "zoom-out"}
RESET = {"reset"}

# What each control of the two systems must get, by objectId, in list order.
# (A row gets its reset once the controls' details say it has a default.)
DEMO_WIDGETS = [
    (41, SLIDER | RESET), (42, SLIDER | RESET), (43, SLIDER | RESET), (44, SLIDER | RESET),
    (45, SLIDER | AUTOMATIC | RESET), (46, SLIDER | AUTOMATIC | RESET), (47, SLIDER | AUTOMATIC | RESET),
    (48, SLIDER | AUTOMATIC | RESET), (49, SLIDER | RESET), (50, MENU | RESET),
    (51, POSITION | ON), (52, PAD | ZOOM | ON),
    (61, SLIDER | RESET), (62, SLIDER | RESET), (63, SLIDER | RESET), (64, SLIDER | RESET),
]
OWN_WIDGETS = [
    (101, SLIDER | RESET), (102, SLIDER | RESET), (103, MENU | RESET), (104, MENU),
    (105, SLIDER | AUTOMATIC | RESET), (106, SLIDER), (107, FIXED), (108, SLIDER | RESET),
    (109, SLIDER | AUTOMATIC | RESET), (110, NUMBER), (111, POSITION | ON), (112, PAD | ZOOM | ON),
    (201, SLIDER), (202, MENU), (203, MENU), (204, SLIDER),
]

# The inputs the picture, presets and profiles blocks have besides their
# lists' buttons.
BLOCK_ROLES = {
    "picture-block": {"picture", "picture-source"},
    "presets": {"preset-name", "preset-save", "preset-recall", "preset-delete"},
    "profiles": {
        "profile-name", "profile-save", "profile-apply", "profile-hold", "profile-release",
        "profile-delete",
    },
}

PTZ = "PAGE-PTZ-1"
REFUSAL_IN_CONSOLE = re.compile(r"/api/v1/\S* - Failed to load resource: the server responded with a status of 422")

# Each input's accessible name as the browser would work it out, for those
# that have none.
UNNAMED_INPUTS = """
const named = (node) => {
  const labels = node.labels ? [...node.labels].map((label) => label.textContent).join(" ") : "";
  const by = (node.getAttribute("aria-labelledby") || "").split(/\\s+/)
    .map((id) => (document.getElementById(id) || {}).textContent || "").join(" ");
  const own = node.tagName === "BUTTON" ? node.textContent : "";
  return (labels + by + (node.getAttribute("aria-label") || "") + own).trim();
};
return [...document.querySelectorAll("input, select, button")].filter((node) => !named(node))
  .map((node) => node.outerHTML);
"""


class PageTest(unittest.TestCase):
    """One camknobd-sim and one browser for the tests of a class, over a
    copy of FIXTURE."""

    FIXTURE = OWN
    FAKE_CAMERAS = 0  # Chromium's fake video inputs, for the picture
    INIT_SCRIPT = None  # run in the page before its own scripts

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="camknob-page-")
        cls.fixture = Fixture(cls.folder, text_of(cls.FIXTURE))
        cls.original = cls.fixture.read()
        cls.daemon = Daemon(PROGRAMS["camknobd-sim"], cls.fixture, cls.folder)
        try:
            cls.browser = Browser(fake_cameras=cls.FAKE_CAMERAS)
        except Exception:
            cls.daemon.stop()
            raise
        cls.driver = cls.browser.driver
        if cls.INIT_SCRIPT:
            cls.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": cls.INIT_SCRIPT})
        cls.open_page()

    @classmethod
    def open_page(cls):
        """Logs in with a new link and waits for the cameras to be drawn."""
        cls.browser.forget_network_log()
        cls.driver.get(cls.daemon.login_page())
        wait_until("the page drawn", lambda: cls.driver.execute_script("return document.body.dataset.ready"), 10)
        return cls.driver.execute_script("return performance.getEntriesByName('controls-drawn')[0].startTime")

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        cls.daemon.stop()
        shutil.rmtree(cls.folder, ignore_errors=True)

    def setUp(self):
        self.allowed_console = []  # patterns of errors the test makes on purpose

    def tearDown(self):
        # The page's own requests (the browser's own pages, such as its new tab
        # page, make others).
        ours = [r for r in self.browser.requests() if r["document"].startswith(self.daemon.url + "/")]
        self.assertTrue(ours, "no request of the page was seen")
        foreign = [r["url"] for r in ours if not r["url"].startswith(self.daemon.url + "/")]
        self.assertEqual(foreign, [], "requests that left camknobd's address")
        errors = [
            entry["message"]
            for entry in self.browser.console_errors()
            if not any(pattern.search(entry["message"]) for pattern in self.allowed_console)
        ]
        self.assertEqual(errors, [], "errors in the browser console")

    # --- the page -------------------------------------------------------------

    def css(self, selector, within=None):
        return (within or self.driver).find_elements("css selector", selector)

    def one(self, selector, within=None):
        found = self.css(selector, within)
        self.assertEqual(len(found), 1, f"{selector}: {len(found)} found")
        return found[0]

    def row(self, object_id):
        return self.one(f'.control[data-object-id="{object_id}"]')

    def roles(self, node):
        return {each.get_attribute("data-role") for each in self.css("input, select, button", node)}

    def section(self, uid):
        return self.one(f'section.camera[data-uid="{uid}"]')

    def type_into(self, field, text):
        from selenium.webdriver.common.keys import Keys

        field.send_keys(Keys.CONTROL, "a")
        field.send_keys(text, Keys.ENTER)

    def shown_number(self, object_id):
        return self.one('[data-role="value-number"]', self.row(object_id)).get_attribute("value")

    def wait_shown(self, object_id, text, timeout=5):
        wait_until(f"control {object_id} shows {text}", lambda: self.shown_number(object_id) == text, timeout)

    def error_of(self, node):
        message = self.one('[data-role="error"]', node)
        return message.text if message.is_displayed() else ""

    def click(self, selector, within=None):
        self.one(selector, within).click()

    def delete(self, selector, within, words):
        """Clicks a delete button twice: the question it asks (which names
        what goes, `words`) dismissed first, then accepted."""
        for accept in (False, True):
            self.click(selector, within)
            question = wait_until("the question", lambda: self.alert(), 2)
            self.assertIn(words, question.text)
            if accept:
                question.accept()
            else:
                question.dismiss()
                self.pause(0.3)  # a deletion made anyway would be sent by now
                yield

    def alert(self):
        from selenium.common.exceptions import NoAlertPresentException

        try:
            alert = self.driver.switch_to.alert
            alert.text  # noqa: B018 (raises while none is open)
            return alert
        except NoAlertPresentException:
            return None

    def pause(self, seconds):
        time.sleep(seconds)

    # --- the camera -----------------------------------------------------------

    def wait_property(self, object_id, selector, wanted, timeout=5):
        """Until the fixture's property is `wanted` (or `wanted(value)`)."""
        check = wanted if callable(wanted) else (lambda value: value == wanted)
        if isinstance(wanted, float):  # as the camera keeps it
            check = lambda value: isinstance(value, (int, float)) and single(value) == single(wanted)
        return wait_until(
            f"{selector} of {object_id} is {wanted}",
            lambda: check(self.fixture.properties(object_id).get(selector)) or None,
            timeout,
        )

    def sim(self, *arguments):
        answer = run_sim(PROGRAMS["camknob-sim"], self.fixture, *arguments)
        self.assertTrue(answer["ok"], answer)
        return answer

    # --- checks both systems share ----------------------------------------------

    def check_widgets(self, table):
        """Each control's row in list order, with the widgets of its shape, and
        no input, choice or button anywhere else but in the picture, presets
        and profiles blocks (and a camera's "Reset all")."""
        wait_until("every row drawn with its details", lambda: [self.roles(row) for row in self.css(".control")]
                   == [roles for _, roles in table], 5)
        rows = self.css(".control")
        self.assertEqual(
            [int(row.get_attribute("data-object-id")) for row in rows], [object_id for object_id, _ in table]
        )
        devices = {d["properties"]["uid "]: d for d in self.fixture.read()["devices"]}
        for row, (object_id, roles) in zip(rows, table):
            with self.subTest(control=object_id):
                self.assertEqual(self.roles(row), roles)
                uid = row.get_attribute("data-uid")
                control = next(c for c in devices[uid]["controls"] if c["objectId"] == object_id)
                listed = self.one('[data-uid="%s"] .control[data-object-id="%d"] .control-name' % (uid, object_id))
                self.assertEqual(listed.text, control["properties"]["lnam"])
                self.assertTrue(row.get_attribute("data-kind"))
        loose = self.driver.execute_script(
            "return [...document.querySelectorAll('input, select, button')]"
            ".filter((node) => !node.closest('.control, [data-role=presets], [data-role=profiles], "
            "[data-role=picture-block]') && node.dataset.role !== 'reset-all')"
            ".map((node) => node.outerHTML)"
        )
        self.assertEqual(loose, [])
        for block, allowed in BLOCK_ROLES.items():
            for node in self.css(f'[data-role="{block}"]'):
                self.assertLessEqual(self.roles(node), allowed, block)

    def check_cameras_named(self):
        for device in self.fixture.read()["devices"]:
            section = self.section(device["properties"]["uid "])
            self.assertEqual(self.one("h2", section).text, device["properties"]["lnam"])
            self.assertEqual(self.one('[data-role="uid"]', section).text, device["properties"]["uid "])
            maker = self.css('[data-role="manufacturer"]', section)
            self.assertEqual([m.text for m in maker], [device["properties"]["lmak"]] if "lmak" in device["properties"] else [])


class DemoSystem(PageTest):
    """The demo system: every widget, labels, layouts, and the figures."""

    FIXTURE = DEMO

    def test_every_control_gets_the_widget_of_its_shape(self):
        self.check_widgets(DEMO_WIDGETS)
        self.check_cameras_named()
        self.assertEqual(
            [o.text for o in self.css("option", self.row(50))], ["Disabled", "50 Hz", "60 Hz"]
        )
        self.assertEqual(self.one("select", self.row(50)).get_attribute("value"), "2")
        # Only exposure is given in units (seconds); temperature is native here.
        self.assertEqual(self.one(".unit", self.row(47)).text, "s")
        self.assertEqual(self.css(".unit", self.row(46)), [])
        self.assertEqual(self.one('[data-role="range"]', self.row(41)).text, "Range 0 to 255, step 1, default 128")

    def test_every_input_is_labelled(self):
        self.assertEqual(self.driver.execute_script(UNNAMED_INPUTS), [])

    def test_fits_a_phone_and_follows_the_dark_scheme(self):
        try:
            self.driver.set_window_size(375, 800)
            width = wait_until("a narrow window", lambda: self.driver.execute_script(
                "return innerWidth < 420 && innerWidth"))
            overflow = self.driver.execute_script(
                "return document.documentElement.scrollWidth - document.documentElement.clientWidth")
            self.assertLessEqual(overflow, 0, f"wider than a {width} px window")
        finally:
            self.driver.set_window_size(1280, 900)
        background = "return getComputedStyle(document.body).backgroundColor"
        brightness = lambda: sum(int(part) for part in re.findall(r"\d+", self.driver.execute_script(background))[:3])
        for scheme, bright in (("dark", False), ("light", True)):
            self.driver.execute_cdp_cmd(
                "Emulation.setEmulatedMedia", {"features": [{"name": "prefers-color-scheme", "value": scheme}]})
            self.assertEqual(brightness() > 3 * 128, bright, scheme)
        self.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": []})

    def test_draw_time(self):
        first = self.driver.execute_script("return performance.getEntriesByName('controls-drawn')[0].startTime")
        again = [self.open_page() for _ in range(3)]
        # What the last load asked for before its controls were drawn (the
        # presets and profiles come after).
        drawn_at = self.driver.execute_script(
            "return performance.timeOrigin + performance.getEntriesByName('controls-drawn')[0].startTime")
        asked = self.driver.execute_script(
            "return performance.getEntriesByType('resource')"
            ".filter((entry) => performance.timeOrigin + entry.startTime < arguments[0]).length", drawn_at)
        controls = len(self.css(".control"))
        print(f"\ndraw time: every one of {controls} controls drawn {first:.0f} ms after the page was "
              f"asked for (first load); on later loads {', '.join(f'{t:.0f}' for t in again)} ms "
              f"(target < 300 ms), after the page and {asked} requests more")
        self.assertEqual(controls, len(DEMO_WIDGETS))

    def test_a_fast_drag_sends_one_change_at_a_time_and_ends_on_the_last_value(self):
        slider = self.one('input[type="range"]', self.row(41))
        self.browser.forget_network_log()
        # Two seconds at 60 steps a second, as a pointer drag delivers them.
        result = self.driver.execute_async_script(
            """
            const [slider, done] = arguments;
            const box = slider.getBoundingClientRect();
            const at = {clientX: box.left + 5, clientY: box.top + box.height / 2, pointerId: 1, bubbles: true};
            slider.dispatchEvent(new PointerEvent("pointerdown", at));
            let step = 0;
            const started = performance.now();
            const timer = setInterval(() => {
              step += 1;
              slider.value = String(Math.round(128 + 120 * Math.sin(step / 9)));
              slider.dispatchEvent(new Event("input", {bubbles: true}));
              if (step < 120) return;
              clearInterval(timer);
              slider.value = "77";
              slider.dispatchEvent(new Event("input", {bubbles: true}));
              slider.dispatchEvent(new Event("change", {bubbles: true}));
              window.dispatchEvent(new PointerEvent("pointerup", at));
              done({last: slider.value, seconds: (performance.now() - started) / 1000});
            }, 1000 / 60);
            """,
            slider,
        )
        self.wait_property(41, "fcnv", 77)
        self.wait_shown(41, "77")
        self.pause(0.3)  # anything sent late would show now
        changes = [r for r in self.browser.requests()
                   if r["url"].endswith("/api/v1/commands") and '"brightness"' in (r["body"] or "")]
        for before, after in zip(changes, changes[1:]):
            self.assertIsNotNone(before["end"])
            self.assertGreaterEqual(after["time"], before["end"], "two changes of one control on their way at once")
        self.assertEqual(json.loads(changes[-1]["body"])["value"], 77)
        self.assertEqual(self.fixture.properties(41)["fcnv"], 77)
        trips = sorted(1000 * (r["end"] - r["time"]) for r in changes)
        print(f"\ndrag: each change answered in {trips[len(trips) // 2]:.0f} ms (median; "
              f"{trips[0]:.0f} to {trips[-1]:.0f} ms)")
        print(f"\ndrag: {len(changes)} changes in {result['seconds']:.2f} s of 60 steps a second: "
              f"{len(changes) / result['seconds']:.0f} a second reached the camera (target >= 30), "
              f"ending on the slider's last value {result['last']}")


class Widgets(PageTest):
    """A system of every shape: values, menus, automatic modes, refusals."""

    def test_every_control_gets_the_widget_of_its_shape(self):
        self.check_widgets(OWN_WIDGETS)
        self.check_cameras_named()
        self.assertEqual([o.text for o in self.css("option", self.row(103))], ["Disabled", "50 Hz", "60 Hz", "Auto"])
        self.assertEqual([o.text for o in self.css("option", self.row(104))], ["Off", "On"])
        exposure = self.row(105)
        self.assertEqual(self.one('input[type="range"]', exposure).get_attribute("data-scale"), "logarithmic")
        self.assertEqual(self.one(".unit", exposure).text, "s")
        self.assertEqual(self.one('[data-role="range"]', exposure).text,
                         "Range 0.0001 s to 0.5 s, default automatic (0.02 s)")
        self.assertEqual(self.one(".unit", self.row(106)).text, "K")
        self.assertEqual(self.one('[data-role="range"]', self.row(106)).text, "Range 2800 K to 6500 K, step 100 K")
        self.assertIn("Read-only", self.one('[data-role="fixed"]', self.row(107)).text)
        self.assertTrue(self.one('[data-role="fixed"]', self.row(107)).text.startswith("12."))
        self.assertEqual(self.shown_number(110), "1")
        self.assertEqual(self.css('input[type="range"]', self.row(110)), [])
        self.assertEqual(self.one('[data-role="position"]', self.row(111)).text, "Pan 0°, tilt 0°")
        self.assertEqual(self.driver.execute_script(UNNAMED_INPUTS), [])

    def test_dragging_the_brightness_slider_changes_the_camera(self):
        from selenium.webdriver.common.action_chains import ActionChains

        slider = self.one('input[type="range"]', self.row(101))
        before = self.shown_number(101)
        width = slider.size["width"]
        ActionChains(self.driver).click_and_hold(slider).move_by_offset(-width // 5, 0).pause(0.2) \
            .move_by_offset(-width // 10, 0).release().perform()
        let_go = slider.get_attribute("value")
        self.assertNotEqual(let_go, before)
        self.wait_property(101, "fcnv", int(let_go))
        self.wait_shown(101, let_go)

    def test_typing_a_number_changes_the_camera(self):
        cases = [(101, "fcnv", "42", 42), (106, "fcav", "3300", 3300), (110, "fcnv", "2", 2)]
        for object_id, selector, typed, stored in cases:
            with self.subTest(control=object_id):
                self.type_into(self.one('[data-role="value-number"]', self.row(object_id)), typed)
                self.wait_property(object_id, selector, stored)
                self.wait_shown(object_id, typed)
                self.assertEqual(self.error_of(self.row(object_id)), "")

    def test_quick_entries_reach_the_camera_in_order_and_the_last_wins(self):
        # Entries quicker than the camera answers, as one script: whatever
        # of them is sent goes in order, one at a time, and the last is
        # what the camera keeps and the row shows.
        cases = [
            (101, '[data-role="value-number"]', ["10", "20", "30", "40"], 40, "brightness"),
            (103, "select", ["0", "3", "2", "1"], 1, "powerLineFrequency"),
        ]
        for object_id, selector, entries, wanted, kind in cases:
            with self.subTest(control=object_id):
                self.browser.forget_network_log()
                self.driver.execute_script(
                    "const [input, entries] = arguments;"
                    "for (const entry of entries) {"
                    "  input.value = entry;"
                    "  input.dispatchEvent(new Event('change', {bubbles: true}));"
                    "}",
                    self.one(selector, self.row(object_id)), entries)
                self.wait_property(object_id, "fcnv", wanted)
                self.pause(0.3)  # an older value written late would show now
                self.assertEqual(self.fixture.properties(object_id)["fcnv"], wanted)
                wait_until("the last entry shown", lambda: self.one(selector, self.row(object_id))
                           .get_attribute("value") == str(wanted))
                sent = [r for r in self.browser.requests()
                        if r["url"].endswith("/api/v1/commands") and f'"{kind}"' in (r["body"] or "")]
                values = [json.loads(r["body"])["value"] for r in sent]
                self.assertEqual(values[-1], wanted)
                self.assertEqual(values, [int(e) for e in entries if int(e) in values], "out of order")
                for before, after in zip(sent, sent[1:]):
                    self.assertGreaterEqual(after["time"], before["end"], "two on their way at once")

    def test_keys_and_choices_change_the_camera(self):
        from selenium.webdriver.common.keys import Keys
        from selenium.webdriver.support.ui import Select

        start = self.fixture.properties(101)["fcnv"]
        self.one('input[type="range"]', self.row(101)).send_keys(Keys.ARROW_RIGHT)
        self.wait_property(101, "fcnv", start + 1)
        Select(self.one("select", self.row(103))).select_by_visible_text("60 Hz")
        self.wait_property(103, "fcnv", 2)
        Select(self.one("select", self.row(104))).select_by_visible_text("On")
        self.wait_property(104, "fcnv", 1)

    def test_a_refused_value_shows_the_cameras_message_and_the_cameras_value(self):
        self.allowed_console = [REFUSAL_IN_CONSOLE]
        row = self.row(102)
        self.type_into(self.one('[data-role="value-number"]', row), "99")
        wait_until("the refusal shown", lambda: self.error_of(row))
        self.assertEqual(self.error_of(row), "Failed to set sharpness: 561406316 (!val).")
        self.wait_shown(102, "3")
        self.assertEqual(self.one('input[type="range"]', row).get_attribute("value"), "3")
        self.assertEqual(self.fixture.properties(102)["fcnv"], 3)
        # It is the row's own: another control's change leaves it.
        self.type_into(self.one('[data-role="value-number"]', self.row(101)), "7")
        self.wait_property(101, "fcnv", 7)
        self.assertEqual(self.error_of(row), "Failed to set sharpness: 561406316 (!val).")
        self.assertEqual(self.error_of(self.row(101)), "")

    def test_automatic_exposure_holds_the_value_with_its_reason(self):
        row = self.row(105)
        automatic = self.one('[data-role="automatic"]', row)
        value_inputs = self.css('[data-role="value"], [data-role="value-number"]', row)
        reason = self.one('[data-role="reason"]', row)

        def state():
            return (automatic.is_selected(), [i.is_enabled() for i in value_inputs],
                    reason.text if reason.is_displayed() else "")

        self.assertEqual(state(), (True, [False, False], "Set by automatic exposure."))
        automatic.click()
        self.wait_property(105, "fcam", 0)
        wait_until("exposure editable", lambda: state() == (False, [True, True], ""))
        self.type_into(value_inputs[1], "0.02")
        self.wait_property(105, "fcav", 0.02)
        automatic.click()
        self.wait_property(105, "fcam", 1)
        wait_until("exposure held again", lambda: state() == (True, [False, False], "Set by automatic exposure."))

    def test_the_exposure_slider_moves_along_a_logarithm(self):
        from selenium.webdriver.common.keys import Keys

        automatic = self.one('[data-role="automatic"]', self.row(105))
        if automatic.is_selected():
            automatic.click()
            self.wait_property(105, "fcam", 0)
        slider = self.one('input[type="range"]', self.row(105))
        wait_until("exposure editable", slider.is_enabled)
        self.type_into(self.one('[data-role="value-number"]', self.row(105)), "0.007071")
        self.wait_property(105, "fcav", 0.007071)
        # 0.0001 to 0.5 s: the geometric middle sits at the slider's middle.
        wait_until("the slider in the middle", lambda: slider.get_attribute("value") == "500")
        slider.send_keys(Keys.END)
        self.wait_property(105, "fcav", 0.5)
        slider.send_keys(Keys.HOME)
        self.wait_property(105, "fcav", 0.0001)


# Holds the page's request for the controls' details, while the tab's
# sessionStorage has holdDetails, until window.releaseDetails() is called.
HOLD_DETAILS = """
window.detailsHeld = new Promise((release) => { window.releaseDetails = release; });
const pageFetch = window.fetch.bind(window);
window.fetch = async (resource, options) => {
  if (sessionStorage.getItem("holdDetails") && String(resource).includes("/api/v1/details")) await window.detailsHeld;
  return pageFetch(resource, options);
};
"""


class Details(PageTest):
    """What the controls' details bring: the driver's menu items, steps,
    units, defaults and reset."""

    INIT_SCRIPT = HOLD_DETAILS

    def options(self, object_id):
        return [o.text for o in self.css("option", self.row(object_id))]

    def slider_step(self, object_id):
        """The step of the control's slider, found and read in one step (a
        row redrawn between a find and a read would be gone)."""
        return self.driver.execute_script(
            "const found = document.querySelector(`.control[data-object-id='${arguments[0]}'] input[type=range]`);"
            "return found ? found.getAttribute('step') : null;", object_id)

    def sent(self, word):
        return [json.loads(r["body"]) for r in self.browser.requests()
                if r["url"].endswith("/api/v1/commands") and f'"{word}"' in (r["body"] or "")]

    def test_menus_show_the_drivers_items_in_their_order(self):
        from selenium.webdriver.support.ui import Select

        cases = [
            (103, ["Disabled", "50 Hz", "60 Hz", "Auto"], "Auto", 3),
            (202, ["400000000", "100000000", "300000000"], "100000000", 0),  # an integer menu, as listed
            (203, ["0", "1", "2"], "0", 0),  # a menu whose details have no items: its range
        ]
        for object_id, labels, choice, stored in cases:
            with self.subTest(control=object_id):
                wait_until("the items", lambda: self.options(object_id) == labels)
                Select(self.one("select", self.row(object_id))).select_by_visible_text(choice)
                self.wait_property(object_id, "fcnv", stored)

    def test_sliders_and_fields_move_in_the_controls_step(self):
        from selenium.webdriver.common.keys import Keys

        cases = [(106, "100", None), (204, "0.5", "dB")]
        for object_id, step, unit in cases:
            with self.subTest(control=object_id):
                row = self.row(object_id)
                wait_until("the step", lambda: self.slider_step(object_id) == step)
                row = self.row(object_id)
                slider = self.one('input[type="range"]', row)
                self.assertEqual(self.one('[data-role="value-number"]', row).get_attribute("step"), step)
                if unit:
                    self.assertEqual(self.one(".unit", row).text, unit)
                before = self.fixture.properties(object_id)["fcav"]
                slider.send_keys(Keys.ARROW_RIGHT)
                self.wait_property(object_id, "fcav", float(before + float(step)))

    def test_rows_take_their_details_in_place_but_not_while_dragged(self):
        self.driver.execute_script("sessionStorage.setItem('holdDetails', '1')")
        try:
            self.open_page()
        finally:
            self.driver.execute_script("sessionStorage.removeItem('holdDetails')")
        # Drawn before the details came: the menu's range, no step, no reset.
        self.assertEqual(self.options(103), ["0", "1", "2", "3"])
        self.assertEqual(self.css('[data-role="reset"]'), [])
        self.assertFalse(self.one('[data-role="reset-all"]', self.section(PTZ)).is_displayed())
        slider = self.one('input[type="range"]', self.row(106))
        self.assertEqual(slider.get_attribute("step"), "any")
        section = self.section(PTZ)
        self.driver.execute_script(
            "arguments[0].markedByTest = true;"
            "const box = arguments[1].getBoundingClientRect();"
            "arguments[1].dispatchEvent(new PointerEvent('pointerdown', {clientX: box.left + 5,"
            " clientY: box.top + box.height / 2, pointerId: 1, bubbles: true}));", section, slider)
        self.driver.execute_script("window.releaseDetails()")
        wait_until("the details taken", lambda: self.driver.execute_script("return document.body.dataset.details"))
        wait_until("the menu's names", lambda: self.options(103) == ["Disabled", "50 Hz", "60 Hz", "Auto"])
        self.assertTrue(self.css('[data-role="reset"]', self.row(101)))
        self.assertTrue(self.one('[data-role="reset-all"]', self.section(PTZ)).is_displayed())
        # The row being dragged is left as it is until it is let go.
        self.pause(0.3)
        self.assertTrue(self.driver.execute_script("return arguments[0].isConnected", slider))
        self.assertEqual(slider.get_attribute("step"), "any")
        self.driver.execute_script(
            "const slider = arguments[0];"
            "slider.value = '5300';"
            "slider.dispatchEvent(new Event('input', {bubbles: true}));"
            "slider.dispatchEvent(new Event('change', {bubbles: true}));"
            "window.dispatchEvent(new PointerEvent('pointerup', {pointerId: 1, bubbles: true}));", slider)
        self.wait_property(106, "fcav", 5300)
        wait_until("the dropped row with its step", lambda: self.slider_step(106) == "100")
        self.wait_shown(106, "5300")
        self.assertTrue(self.driver.execute_script("return arguments[0].markedByTest === true", self.section(PTZ)),
                        "the camera's section was drawn afresh")

    def test_reset_goes_back_to_the_default_through_the_rows_sender(self):
        self.allowed_console = [REFUSAL_IN_CONSOLE]
        titles = [(101, "100"), (103, "50 Hz"), (105, "automatic (0.02 s)"), (109, "automatic (0)")]
        for object_id, words in titles:
            with self.subTest(control=object_id):
                reset = wait_until("the reset", lambda: self.css('[data-role="reset"]', self.row(object_id)))[0]
                self.assertEqual(reset.get_attribute("title"), f"Back to the default: {words}")
        self.assertEqual(self.css('[data-role="reset"]', self.row(106)), [])  # no default
        self.type_into(self.one('[data-role="value-number"]', self.row(101)), "42")
        self.wait_property(101, "fcnv", 42)
        # A value typed and the reset at once: they go in order, the reset last.
        self.browser.forget_network_log()
        self.driver.execute_script(
            "const row = arguments[0];"
            "const field = row.querySelector('[data-role=value-number]');"
            "field.value = '17'; field.dispatchEvent(new Event('change'));"
            "row.querySelector('[data-role=reset]').click();", self.row(101))
        self.wait_property(101, "fcnv", 100)
        self.wait_shown(101, "100")
        self.pause(0.3)  # the typed value sent late would show now
        self.assertEqual(self.fixture.properties(101)["fcnv"], 100)
        self.assertEqual(self.sent("reset"), [{"command": "reset", "device": PTZ, "control": "brightness"}])
        # The automatic mode comes back on where the camera starts so (which
        # then sets the value).
        self.sim("auto", "--device", PTZ, "--control", "exposure", "--enabled", "off")
        self.sim("set", "--device", PTZ, "--control", "exposure", "--value", "0.3")
        wait_until("exposure editable", lambda: self.one('[data-role="value-number"]', self.row(105)).is_enabled())
        self.click('[data-role="reset"]', self.row(105))
        self.wait_property(105, "fcam", 1)
        wait_until("automatic shown", lambda: self.one('[data-role="automatic"]', self.row(105)).is_selected())
        # A refusal shows in the row.
        self.click('[data-role="reset"]', self.row(102))
        wait_until("the refusal shown", lambda: self.error_of(self.row(102)))
        self.assertIn("Failed to set sharpness", self.error_of(self.row(102)))
        self.assertEqual(self.fixture.properties(102)["fcnv"], 3)

    def test_reset_all_asks_first(self):
        self.allowed_console = [REFUSAL_IN_CONSOLE]
        self.sim("set", "--device", PTZ, "--control", "brightness", "--value", "10")
        self.sim("set", "--device", PTZ, "--control", "zoom", "--value", "300")
        section = self.section(PTZ)
        wait_until("reset all shown", lambda: self.one('[data-role="reset-all"]', section).is_displayed())
        # No default on the other camera: nothing to reset.
        self.assertFalse(self.one('[data-role="reset-all"]', self.section("PAGE-PLAIN-2")).is_displayed())
        self.browser.forget_network_log()
        for _ in self.delete('[data-role="reset-all"]', section, "Page Test PTZ"):
            self.assertEqual(self.sent("reset"), [])
            self.assertEqual(self.fixture.properties(101)["fcnv"], 10)
        self.wait_property(101, "fcnv", 100)
        self.wait_property(108, "fcnv", 100)
        self.wait_shown(108, "100")
        self.assertEqual(self.sent("reset"), [{"command": "reset", "device": PTZ}])
        # Sharpness refuses every write: the section says so.
        message = wait_until("the refusal", lambda: self.one('[data-role="reset-all-error"]', section).text)
        self.assertIn("sharpness", message)


class PanTilt(PageTest):
    """The pad, the position fields and presets."""

    def movement(self):
        return self.fixture.properties(112)["fcnd"]

    def position(self):
        return self.fixture.properties(111)["fcnd"]

    def choose_speed(self, name):
        from selenium.webdriver.support.ui import Select

        Select(self.one('[data-role="speed"]', self.row(112))).select_by_visible_text(name)

    def test_holding_the_right_arrow_moves_at_the_speed_and_letting_go_stops(self):
        from selenium.webdriver.common.action_chains import ActionChains
        from selenium.webdriver.common.keys import Keys

        self.choose_speed("Fast")
        right = self.one('[data-role="move-right"]', self.row(112))
        self.driver.execute_script("arguments[0].focus()", right)
        ActionChains(self.driver).key_down(Keys.ARROW_RIGHT).perform()
        self.wait_property(112, "fcnd", [1, 12, 0, 0])  # right, speed 1 of 0.05..1
        self.assertEqual(self.fixture.properties(112)["fcoo"], 1)  # switched on to move
        wait_until("moving shown", lambda: self.one('[data-role="movement"]', self.row(112)).text == "Moving right")
        ActionChains(self.driver).key_up(Keys.ARROW_RIGHT).perform()
        self.wait_property(112, "fcnd", [0, 0, 0, 0])
        wait_until("stop shown", lambda: self.one('[data-role="movement"]', self.row(112)).text == "Standing still")
        # Both arrows: diagonally, at the slow speed.
        self.choose_speed("Slow")
        self.driver.execute_script("arguments[0].focus()", right)
        ActionChains(self.driver).key_down(Keys.ARROW_UP).key_down(Keys.ARROW_LEFT).perform()
        self.wait_property(112, "fcnd", [255, 2, 1, 2])
        ActionChains(self.driver).key_up(Keys.ARROW_UP).perform()
        self.wait_property(112, "fcnd", [255, 2, 0, 0])
        ActionChains(self.driver).key_up(Keys.ARROW_LEFT).perform()
        self.wait_property(112, "fcnd", [0, 0, 0, 0])

    def test_pressing_a_button_moves_until_it_is_let_go(self):
        from selenium.webdriver.common.action_chains import ActionChains

        self.choose_speed("Medium")
        for role, moving in (("move-left", [255, 5, 0, 0]), ("move-down", [0, 0, 255, 5])):
            with self.subTest(role=role):
                button = self.one(f'[data-role="{role}"]', self.row(112))
                ActionChains(self.driver).click_and_hold(button).perform()
                self.wait_property(112, "fcnd", moving)
                self.pause(0.3)
                self.assertEqual(self.movement(), moving, "stopped while still pressed")
                ActionChains(self.driver).release().perform()
                self.wait_property(112, "fcnd", [0, 0, 0, 0])

    def test_a_held_move_is_renewed_and_stops_when_the_page_goes(self):
        from selenium.webdriver.common.action_chains import ActionChains
        from selenium.webdriver.common.keys import Keys

        # Each way of holding a move, and of letting it go after the page is
        # gone (selenium's own state).
        holds = [
            ("pointer", lambda button: ActionChains(self.driver).click_and_hold(button).perform(),
             lambda: ActionChains(self.driver).release().perform()),
            ("key", lambda button: (self.driver.execute_script("arguments[0].focus()", button),
                                    ActionChains(self.driver).key_down(Keys.ARROW_RIGHT).perform()),
             lambda: ActionChains(self.driver).key_up(Keys.ARROW_RIGHT).perform()),
        ]
        moving = [1, 5, 0, 0]  # right at the medium speed
        for name, hold, let_go in holds:
            with self.subTest(held_by=name):
                self.choose_speed("Medium")
                self.browser.forget_network_log()
                hold(self.one('[data-role="move-right"]', self.row(112)))
                try:
                    self.wait_property(112, "fcnd", moving)
                    # Held past two of camknobd's one-second leases: moving all along.
                    until = time.monotonic() + 2.5
                    while time.monotonic() < until:
                        self.assertEqual(self.movement(), moving, "stopped while still held")
                        self.pause(0.05)
                    moves = [json.loads(r["body"]) for r in self.browser.requests()
                             if r["url"].endswith("/api/v1/commands") and '"move"' in (r["body"] or "")]
                    self.assertGreaterEqual(len(moves), 6, "renewed about every 250 ms")
                    self.assertEqual(
                        {json.dumps(move, sort_keys=True) for move in moves},
                        {json.dumps({"command": "move", "device": PTZ, "pan": 1, "tilt": 0, "speed": 0.45,
                                     "lease": True}, sort_keys=True)})
                    # The page goes while the move is held: camknobd stops it.
                    self.driver.execute_script("window.location = 'about:blank'")
                    gone = time.monotonic()
                    self.wait_property(112, "fcnd", [0, 0, 0, 0], timeout=1.5)
                    print(f"\nlease: the camera stopped {1000 * (time.monotonic() - gone):.0f} ms after the page "
                          f"went (held by {name})")
                finally:
                    let_go()
                    self.open_page()

    def go_to(self, pan, tilt):
        from selenium.webdriver.common.keys import Keys

        row = self.row(111)
        for role, degrees in (("pan", pan), ("tilt", tilt)):
            field = self.one(f'[data-role="{role}"]', row)
            field.send_keys(Keys.CONTROL, "a")
            field.send_keys(str(degrees))
        self.click('[data-role="go"]', row)
        self.wait_property(111, "fcnd", position_record(pan, tilt))

    def test_home_and_absolute_positions(self):
        self.go_to(10.5, -20.25)
        wait_until("the position shown", lambda: self.one('[data-role="position"]', self.row(111)).text
                   == "Pan 10.5°, tilt -20.25°")
        self.go_to(-145, 100)
        self.click('[data-role="home"]', self.row(111))
        self.wait_property(111, "fcnd", [0] * 8)
        wait_until("home shown", lambda: self.one('[data-role="pan"]', self.row(111)).get_attribute("value") == "0")

    def test_zoom_beside_the_pad(self):
        self.type_into(self.one('[data-role="value-number"]', self.row(108)), "200")
        self.wait_property(108, "fcnv", 200)
        self.click('[data-role="zoom-in"]', self.row(112))
        self.wait_property(108, "fcnv", 215)  # a twentieth of 100..400
        self.wait_shown(108, "215")
        self.click('[data-role="zoom-out"]', self.row(112))
        self.click('[data-role="zoom-out"]', self.row(112))
        self.wait_property(108, "fcnv", 185)

    def test_quick_zoom_steps_add_up_after_the_value_typed(self):
        self.type_into(self.one('[data-role="value-number"]', self.row(108)), "200")
        self.wait_property(108, "fcnv", 200)
        self.wait_shown(108, "200")
        # Clicks quicker than the camera answers: each is a step of 15.
        cases = [
            ("three in", "zoomIn.click(); zoomIn.click(); zoomIn.click();", 245),
            ("a value typed, then two in", "field.value = '300'; field.dispatchEvent(new Event('change'));"
                                           " zoomIn.click(); zoomIn.click();", 330),
            ("in, out, out, out", "zoomIn.click(); zoomOut.click(); zoomOut.click(); zoomOut.click();", 300),
        ]
        for name, clicks, wanted in cases:
            with self.subTest(case=name):
                self.driver.execute_script(
                    "const [pad, row] = arguments;"
                    "const zoomIn = pad.querySelector('[data-role=zoom-in]');"
                    "const zoomOut = pad.querySelector('[data-role=zoom-out]');"
                    "const field = row.querySelector('[data-role=value-number]');" + clicks,
                    self.row(112), self.row(108))
                self.wait_property(108, "fcnv", wanted)
                self.wait_shown(108, str(wanted))
                self.pause(0.3)  # a step sent late would show now
                self.assertEqual(self.fixture.properties(108)["fcnv"], wanted)

    def presets_asked(self):
        return [r["url"] for r in self.browser.requests() if "/api/v1/presets" in r["url"]]

    def test_presets_are_asked_for_when_their_block_is_first_opened(self):
        self.open_page()
        presets = self.one('[data-role="presets"]', self.section(PTZ))
        self.pause(0.5)  # a request made at draw would be seen by now
        self.assertEqual(self.presets_asked(), [])
        self.assertIsNone(presets.get_attribute("open"))  # closed at first
        self.daemon.api("POST", "/api/v1/presets", {"name": "window", "device": PTZ})
        try:
            self.click("summary", presets)
            wait_until("the preset listed", lambda: self.css('li[data-preset="window"]', presets))
            self.assertEqual(self.presets_asked(), [f"{self.daemon.url}/api/v1/presets?device={PTZ}"])
            self.click("summary", presets)  # closed and opened again: no new request
            self.click("summary", presets)
            self.pause(0.3)
            self.assertEqual(len(self.presets_asked()), 1)
        finally:
            self.daemon.api("POST", "/api/v1/presets/delete", {"name": "window", "device": PTZ})

    def test_a_preset_is_saved_recalled_and_deleted(self):
        presets = self.one('[data-role="presets"]', self.section(PTZ))
        if not presets.get_attribute("open"):
            self.click("summary", presets)
        self.go_to(30, 10)
        self.type_into(self.one('[data-role="value-number"]', self.row(108)), "250")
        self.wait_property(108, "fcnv", 250)
        self.type_into(self.one('[data-role="preset-name"]', presets), "door")
        wait_until("the preset listed", lambda: self.css('li[data-preset="door"]', presets))
        self.click('[data-role="home"]', self.row(111))
        self.wait_property(111, "fcnd", [0] * 8)
        self.type_into(self.one('[data-role="value-number"]', self.row(108)), "100")
        self.wait_property(108, "fcnv", 100)
        self.click('li[data-preset="door"] [data-role="preset-recall"]', presets)
        self.wait_property(111, "fcnd", position_record(30, 10))
        self.wait_property(108, "fcnv", 250)
        self.wait_shown(108, "250")
        for _ in self.delete('li[data-preset="door"] [data-role="preset-delete"]', presets, "door"):
            self.assertEqual([p["name"] for p in self.daemon.api("GET", "/api/v1/presets")[1]["presets"]], ["door"])
            self.assertTrue(self.css('li[data-preset="door"]', presets))
        wait_until("the preset gone", lambda: not self.css('li[data-preset="door"]', presets))
        self.assertEqual(self.daemon.api("GET", "/api/v1/presets")[1]["presets"], [])
        # No presets block on a camera that neither aims nor moves.
        self.assertEqual(self.css('[data-role="presets"]', self.section("PAGE-PLAIN-2")), [])


class Live(PageTest):
    """Changes made elsewhere, and cameras that come and go."""

    def test_a_change_from_outside_shows_within_a_second(self):
        for value in (42, 43):
            self.sim("set", "--device", PTZ, "--control", "brightness", "--value", str(value))
            done = time.monotonic()
            self.wait_shown(101, str(value), timeout=1.0)
            print(f"\noutside change shown {1000 * (time.monotonic() - done):.0f} ms after camknob-sim ended")
        self.sim("auto", "--device", PTZ, "--control", "exposure", "--enabled", "off")
        wait_until("exposure editable", lambda: self.one('[data-role="value-number"]', self.row(105)).is_enabled(), 1.0)
        self.sim("absolute", "--device", PTZ, "--pan", "5", "--tilt", "6")
        wait_until("position shown", lambda: self.one('[data-role="position"]', self.row(111)).text
                   == "Pan 5°, tilt 6°", 1.0)

    def test_cameras_appear_and_disappear(self):
        system = self.fixture.read()
        added = json.loads(json.dumps(system))
        added["devices"].insert(1, {
            "objectId": 300,
            "properties": {"uid ": "PAGE-NEW-3", "lnam": "Arrived Camera"},
            "controls": [{"objectId": 301, "properties": {"clas": "gain", "lnam": "Gain", "fcnv": 5,
                                                          "fcnr": [0, 10]}, "settable": ["fcnv"]}],
        })
        self.fixture.replace(added)
        wait_until("the new camera", lambda: self.css('section[data-uid="PAGE-NEW-3"] .control[data-object-id="301"]'))
        order = [s.get_attribute("data-uid") for s in self.css("section.camera")]
        self.assertEqual(order, [PTZ, "PAGE-NEW-3", "PAGE-PLAIN-2"])
        self.assertEqual(self.one("h2", self.section("PAGE-NEW-3")).text, "Arrived Camera")
        self.type_into(self.one('[data-role="value-number"]', self.row(301)), "8")
        self.wait_property(301, "fcnv", 8)

        left = self.fixture.read()
        left["devices"] = [d for d in left["devices"] if d["objectId"] != 200]
        self.fixture.replace(left)
        wait_until("the webcam gone", lambda: not self.css('section[data-uid="PAGE-PLAIN-2"]'))
        self.assertEqual([s.get_attribute("data-uid") for s in self.css("section.camera")], [PTZ, "PAGE-NEW-3"])
        self.fixture.replace({"devices": []})
        wait_until("no camera", lambda: self.css('[data-role="no-camera"]'))
        self.fixture.replace(system)
        wait_until("cameras back", lambda: len(self.css("section.camera")) == 2)
        self.check_widgets(OWN_WIDGETS)


    def test_the_event_stream_comes_back_after_it_was_cut_and_refused(self):
        # The page through a relay that cuts its connections and then answers
        # 503 for a while, as a stopping camknobd does: a 503 made the
        # browser's own retry give up for good; the page tries again by
        # itself, waiting longer each time.
        self.allowed_console = [re.compile(r"/api/v1/(events|holds) - Failed to load resource")]
        relay = Relay(self.daemon.url)
        try:
            self.browser.forget_network_log()
            login = self.daemon.login_page().replace(self.daemon.url, relay.url)
            self.driver.get(login)
            state = lambda: self.one("#connection").get_attribute("data-state")
            wait_until("connected", lambda: state() == "connected", 10)
            relay.refuse(True)
            wait_until("reconnecting shown", lambda: state() == "reconnecting", 3)
            refused = lambda: [r for r in self.browser.requests()
                               if r["url"] == relay.url + "/api/v1/events" and r["status"] == 503]
            wait_until("three tries refused", lambda: len(refused()) >= 3, 10)
            self.assertEqual(state(), "reconnecting")
            self.assertRegex(self.one("#connection").text, r"Trying again in \d+ s")
            relay.refuse(False)
            wait_until("connected again", lambda: state() == "connected", 12)
            tries = [r["time"] for r in self.browser.requests() if r["url"] == relay.url + "/api/v1/events"]
            waits = [round(after - before, 2) for before, after in zip(tries, tries[1:])]
            print(f"\nevent stream: {len(tries)} tries, waits between them {waits} s")
            self.assertGreater(waits[-1], 1.5 * waits[0], "the wait did not grow")
            self.sim("set", "--device", PTZ, "--control", "brightness", "--value", "123")
            self.wait_shown(101, "123", timeout=2)
        finally:
            relay.close()
            self.open_page()


    def test_a_session_the_restarted_camknobd_does_not_know_ends_the_tries(self):
        # Sessions last as long as the program: after a restart on the same
        # port the page's cookie is refused (401), and the page asks for a
        # new login link instead of trying again.
        self.allowed_console = [re.compile(r"/api/v1/(events|holds) - Failed to load resource")]
        state = lambda: self.one("#connection").get_attribute("data-state")
        wait_until("connected", lambda: state() == "connected")
        port = int(self.daemon.url.rsplit(":", 1)[1])
        self.daemon.stop()
        type(self).daemon = Daemon(PROGRAMS["camknobd-sim"], self.fixture, self.folder, port)
        wait_until("signed out shown", lambda: state() == "signed-out", 10)
        self.assertIn("login link", self.one("#connection").text)
        self.browser.forget_network_log()
        self.pause(1.5)  # longer than the first waits between tries
        tries = [r["url"] for r in self.browser.requests() if "/api/v1/events" in r["url"]]
        self.assertEqual(tries, [], "tried again while signed out")
        self.open_page()
        wait_until("connected with a new login", lambda: state() == "connected")


class Profiles(PageTest):
    """Profiles saved, changed, applied, held, released and deleted."""

    def block(self):
        return self.one('[data-role="profiles"]', self.section(PTZ))

    def entry(self, name):
        found = self.css(f'li[data-profile="{name}"]', self.block())
        return found[0] if found else None

    def held(self, name):
        """The entry's data-held, found and read in one step in the page (an
        entry redrawn between a find and a read would be gone); None
        without the entry."""
        selector = f'section.camera[data-uid="{PTZ}"] [data-role="profiles"] li[data-profile="{name}"]'
        return self.driver.execute_script(
            "const found = document.querySelector(arguments[0]);"
            "return found ? found.getAttribute('data-held') : null;",
            selector,
        )

    def test_profiles_save_apply_hold_release_and_delete(self):
        self.allowed_console = [REFUSAL_IN_CONSOLE]
        brightness = self.one('[data-role="value-number"]', self.row(101))
        self.type_into(brightness, "60")
        self.wait_property(101, "fcnv", 60)
        self.type_into(self.one('[data-role="profile-name"]', self.block()), "daylight")
        wait_until("the profile listed", lambda: self.entry("daylight"))
        self.assertEqual(self.held("daylight"), "false")
        # The other camera lists it too, as one saved from this camera.
        other = self.one('[data-role="profiles"]', self.section("PAGE-PLAIN-2"))
        wait_until("listed for the other camera", lambda: self.css('li[data-profile="daylight"]', other))
        self.assertIn("saved from Page Test PTZ", self.one('li[data-profile="daylight"]', other).text)
        # A redraw keeps the entries it does not change: marked, saved again
        # beside another, the entry is the same node.
        self.driver.execute_script("arguments[0].markedByTest = true;", self.entry("daylight"))
        self.type_into(self.one('[data-role="profile-name"]', self.block()), "evening")
        wait_until("the second profile listed", lambda: self.entry("evening"))
        self.assertTrue(self.driver.execute_script("return arguments[0].markedByTest === true;", self.entry("daylight")))
        for _ in self.delete('[data-role="profile-delete"]', self.entry("evening"), "evening"):
            self.assertIn("evening", [p["name"] for p in self.daemon.api("GET", "/api/v1/profiles")[1]["profiles"]])
            self.assertIsNotNone(self.entry("evening"))
        wait_until("the second profile deleted", lambda: self.entry("evening") is None)

        self.type_into(brightness, "150")
        self.wait_property(101, "fcnv", 150)
        self.click('[data-role="profile-apply"]', self.entry("daylight"))
        self.wait_property(101, "fcnv", 60)
        self.wait_shown(101, "60")
        # Sharpness refuses every write: the page says so.
        message = wait_until("the apply's refusal", lambda: self.error_of(self.block()))
        self.assertIn("Failed to set sharpness", message)

        self.click('[data-role="profile-hold"]', self.entry("daylight"))
        wait_until("held", lambda: self.held("daylight") == "true")
        self.assertEqual(self.one('[data-role="held-mark"]', self.entry("daylight")).text, "Held")
        self.assertEqual(self.daemon.api("GET", "/api/v1/holds")[1]["holds"], [{"profile": "daylight", "uid": PTZ}])
        self.sim("set", "--device", PTZ, "--control", "brightness", "--value", "190")
        self.wait_property(101, "fcnv", 60, timeout=5)  # camknobd put it back
        self.wait_shown(101, "60")

        self.click('[data-role="profile-release"]', self.entry("daylight"))
        wait_until("released", lambda: self.held("daylight") == "false")
        self.assertEqual(self.css('[data-role="held-mark"]', self.block()), [])
        self.sim("set", "--device", PTZ, "--control", "brightness", "--value", "190")
        self.wait_shown(101, "190")
        self.pause(2.5)  # more than the engine's look at the cameras each second
        self.assertEqual(self.fixture.properties(101)["fcnv"], 190)

        for _ in self.delete('[data-role="profile-delete"]', self.entry("daylight"), "daylight"):
            self.assertEqual(self.held("daylight"), "false")
        wait_until("deleted", lambda: self.held("daylight") is None)
        self.assertEqual(self.daemon.api("GET", "/api/v1/profiles")[1]["profiles"], [])

    def test_changes_made_elsewhere_show_without_a_reload(self):
        # What another page or a script stores, made through the API: the
        # page's lists follow within a second.
        presets = self.one('[data-role="presets"]', self.section(PTZ))
        self.click("summary", presets)
        wait_until("the presets listed", lambda: self.css('li.empty', presets))
        preset = lambda: self.css('li[data-preset="corner"]', presets)
        # (The hold is made though sharpness refuses its value: 422.)
        cases = [
            ("profile saved", "/api/v1/profiles", {"name": "elsewhere", "device": PTZ}, 200,
             lambda: self.held("elsewhere") == "false"),
            ("profile held", "/api/v1/holds", {"profile": "elsewhere", "device": PTZ}, 422,
             lambda: self.held("elsewhere") == "true"),
            ("hold released", "/api/v1/holds/release", {"device": PTZ}, 200,
             lambda: self.held("elsewhere") == "false"),
            ("profile deleted", "/api/v1/profiles/delete", {"name": "elsewhere"}, 200,
             lambda: self.held("elsewhere") is None),
            ("preset saved", "/api/v1/presets", {"name": "corner", "device": PTZ}, 200, lambda: preset()),
            ("preset deleted", "/api/v1/presets/delete", {"name": "corner", "device": PTZ}, 200,
             lambda: not preset()),
        ]
        for name, path, body, wanted, shown in cases:
            with self.subTest(case=name):
                status, answer = self.daemon.api("POST", path, body)
                self.assertEqual(status, wanted, answer)
                wait_until(f"{name} shown", shown, 1.0)


PICTURE = os.path.join(HERE, "page-picture-system.json")
FAKE = "PICTURE-FAKE-1"  # named as Chromium's second fake video input
OTHER = "usb-0000:00:14.0-2-046d:0825-PICTURE-OTHER"  # named as no input

# Counts the page's calls of getUserMedia and enumerateDevices, and keeps
# every stream the browser gave.
MEDIA_CALLS = """
window.mediaCalls = [];
window.mediaStreams = [];
if (navigator.mediaDevices) {
  const media = navigator.mediaDevices;
  const getUserMedia = media.getUserMedia.bind(media);
  const enumerateDevices = media.enumerateDevices.bind(media);
  media.getUserMedia = async (constraints) => {
    window.mediaCalls.push("getUserMedia");
    const stream = await getUserMedia(constraints);
    window.mediaStreams.push(stream);
    return stream;
  };
  media.enumerateDevices = () => {
    window.mediaCalls.push("enumerateDevices");
    return enumerateDevices();
  };
}
"""

# Switches a camera's picture on and waits for its first frame: the time it
# took (ms), the label of the track shown, and how far the video's time moved
# in the half second after.
SWITCH_ON_UNTIL_A_FRAME = """
const [section, done] = arguments;
const toggle = section.querySelector("[data-role=picture]");
const video = section.querySelector("video");
const started = performance.now();
toggle.click();
const waitFrame = () => {
  if (!video.srcObject || video.videoWidth === 0) return setTimeout(waitFrame, 10);
  video.requestVideoFrameCallback(() => {
    const first = performance.now() - started;
    const time = video.currentTime;
    setTimeout(() => done({
      ms: first,
      label: video.srcObject.getVideoTracks()[0].label,
      width: video.videoWidth,
      moved: video.currentTime - time,
    }), 500);
  });
};
waitFrame();
"""


class Picture(PageTest):
    """The camera's picture, from Chromium's fake video inputs."""

    FIXTURE = PICTURE
    FAKE_CAMERAS = 2
    INIT_SCRIPT = MEDIA_CALLS

    def tearDown(self):
        for toggle in self.css('[data-role="picture"]'):
            if toggle.is_selected():
                toggle.click()
        super().tearDown()

    def script(self, text, *arguments):
        return self.driver.execute_script(text, *arguments)

    def calls(self):
        return self.script("return window.mediaCalls")

    def tracks(self, at=None):
        """The readyState of every track of the streams the browser gave."""
        return self.script("return window.mediaStreams.flatMap((s) => s.getTracks().map((t) => t.readyState))")

    def shown_track(self, uid):
        """Keeps the track the section's video shows as window.shownTrack."""
        return self.script(
            "const video = arguments[0].querySelector('video');"
            "window.shownTrack = video.srcObject && video.srcObject.getVideoTracks()[0];"
            "return window.shownTrack ? window.shownTrack.label : null;",
            self.section(uid),
        )

    def message(self, uid):
        node = self.one('[data-role="picture-message"]', self.section(uid))
        return node.text if node.is_displayed() else ""

    def switch_on(self, uid):
        result = self.driver.execute_async_script(SWITCH_ON_UNTIL_A_FRAME, self.section(uid))
        print(f"\npicture: first frame {result['ms']:.0f} ms after the switch ({result['label']}, "
              f"{result['width']} px wide)")
        return result

    def test_nothing_asks_for_a_camera_until_the_switch(self):
        for section in self.css("section.camera"):
            toggle = self.one('[data-role="picture"]', section)
            self.assertFalse(toggle.is_selected())
            self.assertEqual(self.one("label.switch", self.one('[data-role="picture-block"]', section)).text,
                             "Show picture")
            self.assertFalse(self.one("video", section).is_displayed())
            self.assertFalse(self.one('[data-role="picture-source"]', section).is_displayed())
        self.pause(0.5)
        self.assertEqual(self.calls(), [])
        self.assertEqual(self.driver.execute_script(UNNAMED_INPUTS), [])

    def test_the_picture_plays_beside_the_controls_and_stops_when_switched_off(self):
        result = self.switch_on(FAKE)
        self.assertEqual(result["label"], "fake_device_1")
        self.assertGreater(result["moved"], 0.1, "the video's time stood still")
        self.assertEqual(self.calls()[0], "getUserMedia")
        self.assertIn("enumerateDevices", self.calls())
        # Whatever was opened on the way to the named input is stopped.
        self.assertEqual(self.tracks().count("live"), 1, self.tracks())
        video = self.one("video", self.section(FAKE))
        for attribute in ("autoplay", "muted", "playsInline"):
            self.assertTrue(self.script(f"return arguments[0].{attribute}", video), attribute)
        # On a wide window the picture stands beside the controls.
        picture, controls = (self.one(s, self.section(FAKE)).rect for s in ("video", ".controls"))
        self.assertLessEqual(picture["x"] + picture["width"], controls["x"])
        self.assertLess(abs(picture["y"] - controls["y"]), picture["height"])
        self.assertEqual(self.message(FAKE), "")

        self.shown_track(FAKE)
        self.click('[data-role="picture"]', self.section(FAKE))
        wait_until("the track ended", lambda: self.script("return window.shownTrack.readyState") == "ended", 1.5)
        self.assertNotIn("live", self.tracks())
        self.assertFalse(video.is_displayed())

    def test_the_picture_stops_while_the_tab_is_hidden_and_when_the_camera_goes(self):
        self.switch_on(FAKE)
        self.shown_track(FAKE)
        # Another tab of the page's own origin in front: the page is hidden,
        # and the new tab reads it through its opener.
        self.allowed_console = [re.compile(r"/favicon\.ico - Failed to load resource")]  # the icon's tab
        page = self.driver.current_window_handle
        self.script("window.open('/page/icon.svg')")
        self.driver.switch_to.window(next(h for h in self.driver.window_handles if h != page))
        try:
            hidden = wait_until("the picture stopped in the hidden page", lambda: self.script(
                "const page = window.opener;"
                "return page.document.visibilityState === 'hidden' && page.shownTrack.readyState === 'ended'"
                " && page.document.querySelectorAll('video:not([hidden])').length === 0"), 1.5)
            self.assertTrue(hidden)
        finally:
            self.driver.close()
            self.driver.switch_to.window(page)
        # In front again: the picture comes back, from a new track.
        wait_until("the picture back", lambda: self.script(
            "const video = arguments[0].querySelector('video');"
            "return document.visibilityState === 'visible' && video.srcObject !== null"
            " && video.srcObject.getVideoTracks()[0] !== window.shownTrack && video.videoWidth > 0",
            self.section(FAKE)), 5)
        self.shown_track(FAKE)
        self.assertEqual(self.tracks().count("live"), 1)

        system = self.fixture.read()
        try:
            gone = dict(system, devices=[d for d in system["devices"] if d["properties"]["uid "] != FAKE])
            self.fixture.replace(gone)
            wait_until("the track ended with the camera",
                       lambda: self.script("return window.shownTrack.readyState") == "ended", 2.5)
            self.assertNotIn("live", self.tracks())
        finally:
            self.fixture.replace(system)
            wait_until("the camera back", lambda: self.css(f'section[data-uid="{FAKE}"]'))
        self.assertFalse(self.one('[data-role="picture"]', self.section(FAKE)).is_selected())

    def test_without_a_matching_input_the_person_picks_one(self):
        from selenium.webdriver.support.ui import Select

        section = self.section(OTHER)
        self.click('[data-role="picture"]', section)
        message = wait_until("the message", lambda: self.message(OTHER))
        self.assertIn("no video input named Unknown Webcam", message)
        menu = Select(self.one('[data-role="picture-source"]', section))
        self.assertEqual([o.text for o in menu.options][1:], ["fake_device_0", "fake_device_1"])
        self.assertNotIn("live", self.tracks())
        self.assertFalse(self.one("video", section).is_displayed())
        menu.select_by_visible_text("fake_device_0")
        wait_until("the chosen input shown", lambda: self.shown_track(OTHER) == "fake_device_0")
        self.assertEqual(self.message(OTHER), "")

    def test_a_refusal_or_an_insecure_origin_is_said_not_thrown(self):
        # Each case makes the browser's media devices fail as it does.
        cases = [
            ("insecure origin", "Object.defineProperty(navigator, 'mediaDevices', "
                                "{value: undefined, configurable: true});", "secure origin"),
            ("refused", "navigator.mediaDevices.getUserMedia = () => "
                        "Promise.reject(new DOMException('denied', 'NotAllowedError'));", "not allowed"),
            ("busy", "navigator.mediaDevices.getUserMedia = () => "
                     "Promise.reject(new DOMException('busy', 'NotReadableError'));", "in use by another program"),
        ]
        section = self.section(FAKE)
        for name, breaking, words in cases:
            with self.subTest(case=name):
                self.open_page()
                section = self.section(FAKE)
                self.script(breaking)
                self.click('[data-role="picture"]', section)
                message = wait_until("the message", lambda: self.message(FAKE))
                self.assertIn(words, message)
                self.assertFalse(self.one("video", section).is_displayed())
                self.click('[data-role="picture"]', section)
        self.open_page()


def screenshot(path):
    """The demo system's page, whole, as a PNG at `path`: the PTZ camera's
    picture (Chromium's fake video input, chosen from the list) beside its
    controls, its presets open."""
    folder = tempfile.mkdtemp(prefix="camknob-page-")
    fixture = Fixture(folder, text_of(DEMO))
    daemon = Daemon(PROGRAMS["camknobd-sim"], fixture, folder)
    browser = Browser(1280, 900, fake_cameras=1)
    try:
        from selenium.webdriver.support.ui import Select

        driver = browser.driver
        daemon.api("POST", "/api/v1/commands",
                   {"command": "auto", "device": "SIM-PTZ-0001", "control": "focus", "enabled": False})
        daemon.api("POST", "/api/v1/commands",
                   {"command": "absolute", "device": "SIM-PTZ-0001", "pan": 12.5, "tilt": -4})
        daemon.api("POST", "/api/v1/profiles", {"name": "Daylight", "device": "SIM-PTZ-0001"})
        daemon.api("POST", "/api/v1/holds", {"profile": "Daylight", "device": "SIM-PTZ-0001"})
        daemon.api("POST", "/api/v1/presets", {"name": "Whiteboard", "device": "SIM-PTZ-0001"})
        driver.get(daemon.login_page())
        wait_until("the page drawn", lambda: driver.execute_script("return document.body.dataset.ready"), 10)
        wait_until("the profiles listed", lambda: driver.find_elements("css selector", '[data-profile="Daylight"]'))
        ptz = driver.find_element("css selector", 'section.camera[data-uid="SIM-PTZ-0001"]')
        driver.execute_script("arguments[0].querySelector('[data-role=presets]').open = true", ptz)
        wait_until("the presets listed", lambda: driver.find_elements("css selector", '[data-preset="Whiteboard"]'))
        ptz.find_element("css selector", '[data-role="picture"]').click()
        menu = wait_until("the video inputs", lambda: [m for m in ptz.find_elements(
            "css selector", '[data-role="picture-source"]') if m.is_displayed()])[0]
        Select(menu).select_by_visible_text("fake_device_0")
        wait_until("the picture", lambda: driver.execute_script(
            "return arguments[0].querySelector('video').videoWidth > 0", ptz), 10)
        # The window's frame takes some of its height: the page gets the rest.
        frame, height = driver.execute_script(
            "return [outerHeight - innerHeight, document.documentElement.scrollHeight]")
        driver.set_window_size(1280, frame + height)
        wait_until("the window tall enough", lambda: driver.execute_script(
            "return innerHeight >= document.documentElement.scrollHeight"))
        time.sleep(0.3)
        os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
        driver.save_screenshot(path)
        print(f"{path}: the demo system's control panel")
    finally:
        browser.quit()
        daemon.stop()
        shutil.rmtree(folder, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--camknobd-sim", required=True)
    parser.add_argument("--camknob-sim")
    parser.add_argument("--screenshot", metavar="FILE")
    options, rest = parser.parse_known_args()
    missing = missing_tools()
    if missing:
        print("skipped: the browser tests need " + ", ".join(missing))
        return SKIP
    PROGRAMS["camknobd-sim"] = options.camknobd_sim
    PROGRAMS["camknob-sim"] = options.camknob_sim
    if options.screenshot:
        screenshot(options.screenshot)
        return 0
    if not options.camknob_sim:
        parser.error("the tests need --camknob-sim")
    program = unittest.main(argv=[sys.argv[0], "-v", *rest], exit=False)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
