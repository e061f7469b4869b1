#!/usr/bin/python3
"""The control panel over cameras as the kernel's drivers describe them.

tests/page/vm-cameras.json is captured from the test guest's cameras, vivid
and the virtual UVC camera under uvcvideo (`cmake --build build --target
capture_vm_fixture` makes it again): every control shape those drivers have,
menus with holes and integer menus among them. Over it, each control is drawn
as its driver describes it (a menu with the driver's item names or numbers, a
value with its range and step), and a change reaches the camera.

Usage: driver_cameras_test.py --camknobd-sim PATH --camknob-sim PATH [TEST...]
"""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import page_test  # noqa: E402
from page_harness import wait_until  # noqa: E402

UVC = "usb-dummy_hcd.0-1/1209:0001"


def label(item):
    """A menu item's text as the page shows it: its name, or its number."""
    return str(item["name"])


class DriverCameras(page_test.PageTest):
    """The page over vivid and the virtual UVC camera, as captured."""

    FIXTURE = os.path.join(HERE, "vm-cameras.json")

    def listed(self):
        status, cameras = self.daemon.api("GET", "/api/v1/cameras")
        self.assertEqual(status, 200)
        status, details = self.daemon.api("GET", "/api/v1/details")
        self.assertEqual(status, 200)
        described = {}
        for device in details["devices"]:
            for control in device["controls"]:
                described[control["objectId"]] = control
        return cameras["devices"], described

    def test_each_control_is_drawn_as_its_driver_describes_it(self):
        devices, described = self.listed()
        menus = sliders = 0
        for device in devices:
            for control in device["controls"]:
                row = self.row(control["objectId"])
                details = described[control["objectId"]]
                where = f"{device['name']}: {control['kind']}"
                if "menu" in details:
                    menus += 1
                    menu = self.one('[data-role="menu"]', row)
                    # The driver's items in its order, holes left out.
                    wait_until(
                        f"{where}: the driver's item names",
                        lambda: [o.text for o in self.css("option", menu)]
                        == [label(item) for item in details["menu"]],
                    )
                    values = [o.get_attribute("value") for o in self.css("option", menu)]
                    self.assertEqual(values, [str(item["value"]) for item in details["menu"]], where)
                elif control.get("minimum") is not None and control.get("maximum") is not None and self.css(
                    '[data-role="value"]', row
                ):
                    sliders += 1
                    slider = self.one('[data-role="value"]', row)
                    if "step" in details and control.get("valueMode") == "native":
                        wait_until(
                            f"{where}: the driver's step",
                            lambda: float(slider.get_attribute("step")) == details["step"],
                        )
        self.assertGreaterEqual(menus, 3, "the drivers' menus")
        self.assertGreaterEqual(sliders, 10, "the drivers' ranged values")

    def test_a_menu_item_chosen_reaches_the_camera(self):
        from selenium.webdriver.support.ui import Select

        devices, described = self.listed()
        uvc = next(device for device in devices if device["uid"] == UVC)
        power = next(control for control in uvc["controls"] if control["kind"] == "powerLineFrequency")
        menu = self.one('[data-role="menu"]', self.row(power["objectId"]))
        wait_until("the menu named", lambda: "50 Hz" in [o.text for o in self.css("option", menu)])
        wanted = 1 if power["value"] != 1 else 2
        name = next(label(item) for item in described[power["objectId"]]["menu"] if item["value"] == wanted)
        Select(menu).select_by_visible_text(name)
        self.wait_property(power["objectId"], "fcnv", wanted)


if __name__ == "__main__":
    sys.exit(page_test.main())
