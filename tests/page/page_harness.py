"""What the control panel's browser tests stand on: camknobd-sim over a
temporary copy of a fixture, headless Chromium through chromedriver, and the
fixture file read back to see what the camera was told.

Nothing here is a test; page_test.py holds them.
"""

import json
import os
import shutil
import socket
import struct
import subprocess
import tempfile
import threading
import time
import urllib.error
import urllib.request

SKIP = 77  # CTest's skip code (SKIP_RETURN_CODE)

BROWSER_NAMES = ("chromium", "chromium-browser", "google-chrome")
DRIVER_NAMES = ("chromedriver",)


def first_program(names):
    for name in names:
        for folder in ("/usr/bin", "/usr/local/bin"):
            path = os.path.join(folder, name)
            if os.access(path, os.X_OK):
                return path
        found = shutil.which(name)
        if found:
            return found
    return None


def missing_tools():
    """What the tests need and this machine lacks, in words; empty when
    nothing is missing."""
    missing = []
    try:
        import selenium  # noqa: F401
    except ImportError:
        missing.append("python3-selenium")
    if first_program(BROWSER_NAMES) is None:
        missing.append("chromium")
    if first_program(DRIVER_NAMES) is None:
        missing.append("chromium-driver")
    return missing


def wait_until(what, probe, timeout=5.0, interval=0.02):
    """probe()'s first true result within `timeout` seconds, else an
    AssertionError naming `what` (and probe's last result)."""
    deadline = time.monotonic() + timeout
    last = None
    while True:
        last = probe()
        if last:
            return last
        if time.monotonic() >= deadline:
            raise AssertionError(f"{what}: not within {timeout} s (last: {last!r})")
        time.sleep(interval)


def single(number):
    """The 32-bit float nearest to the number, as cameras keep values."""
    return struct.unpack("<f", struct.pack("<f", number))[0]


def position_record(pan, tilt):
    """The 8-byte pan/tilt record of a position in degrees."""
    return list(struct.pack("<ii", round(pan * 3600), round(tilt * 3600)))


class Fixture:
    """A fixture file of the simulated service, copied to a folder of its own."""

    def __init__(self, folder, source_text):
        self.path = os.path.join(folder, "cameras.json")
        with open(self.path, "w", encoding="utf-8") as out:
            out.write(source_text)

    def read(self):
        with open(self.path, encoding="utf-8") as text:
            return json.load(text)

    def properties(self, object_id):
        for device in self.read()["devices"]:
            for control in device.get("controls", []):
                if control["objectId"] == object_id:
                    return control["properties"]
        raise KeyError(object_id)

    def replace(self, document):
        """Writes a new system in one step, as camknob-sim does."""
        temporary = self.path + ".new"
        with open(temporary, "w", encoding="utf-8") as out:
            json.dump(document, out)
        os.replace(temporary, self.path)


class Daemon:
    """camknobd-sim over the fixture, with its own config and token folders."""

    def __init__(self, program, fixture, folder, port=0):
        """`port`: where to listen on 127.0.0.1 (0: any free port)."""
        self.folder = folder
        environment = dict(os.environ)
        environment.pop("XDG_RUNTIME_DIR", None)
        environment["CAMKNOB_SIM_FIXTURE"] = fixture.path
        environment["XDG_CONFIG_HOME"] = os.path.join(folder, "config")
        self.process = subprocess.Popen(
            [program, "--listen", f"127.0.0.1:{port}", "--token-file", os.path.join(folder, "token")],
            env=environment,
            stdout=subprocess.PIPE,
            stderr=subprocess.PIPE,
            text=True,
        )
        line = self.process.stdout.readline()
        if not line:
            raise RuntimeError("camknobd-sim printed no start line: " + self.process.stderr.read())
        self.start = json.loads(line)
        self.url = self.start["url"]
        with open(self.start["tokenFile"], encoding="utf-8") as token:
            self.token = token.read().strip()

    def api(self, method, path, body=None):
        """The status and document of a request made with the token."""
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.url + path, data=data, method=method)
        request.add_header("Authorization", "Bearer " + self.token)
        if data is not None:
            request.add_header("Content-Type", "application/json")
        try:
            with urllib.request.urlopen(request, timeout=10) as answer:
                return answer.status, json.load(answer)
        except urllib.error.HTTPError as refused:
            return refused.code, json.load(refused)

    def login_page(self):
        """A new one-time login link."""
        status, answer = self.api("POST", "/api/v1/session/page", {})
        assert status == 200, answer
        return answer["page"]

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.process.stdout.close()
        self.process.stderr.close()


class Relay:
    """Passes TCP connections made to [::1] on the daemon's port on to the
    daemon (camknobd takes that address as one of its own names), or, while
    refusing, cuts those open and answers each new one 503, as a stopping
    camknobd does."""

    REFUSAL = (b"HTTP/1.1 503 Service Unavailable\r\nContent-Type: application/json\r\n"
               b"Content-Length: 46\r\nConnection: close\r\n\r\n"
               b'{"error":"The server is stopping.","ok":false}')

    def __init__(self, daemon_url):
        address, port = daemon_url.removeprefix("http://").rsplit(":", 1)
        self.target = (address, int(port))
        self.listener = socket.create_server(("::1", int(port)), family=socket.AF_INET6)
        self.url = f"http://[::1]:{port}"
        self.refusing = False
        self.lock = threading.Lock()
        self.open = set()
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            if self.refusing:
                client.recv(65536)
                client.sendall(self.REFUSAL)
                client.close()
                continue
            upstream = socket.create_connection(self.target)
            with self.lock:
                self.open.update((client, upstream))
            for source, sink in ((client, upstream), (upstream, client)):
                threading.Thread(target=self._pass, args=(source, sink), daemon=True).start()

    def _pass(self, source, sink):
        try:
            while True:
                data = source.recv(65536)
                if not data:
                    break
                sink.sendall(data)
        except OSError:
            pass
        for end in (source, sink):
            try:
                end.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    def refuse(self, refusing):
        """While refusing, every connection open is cut."""
        self.refusing = refusing
        if refusing:
            with self.lock:
                cut, self.open = self.open, set()
            for connection in cut:
                try:
                    connection.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
                connection.close()

    def close(self):
        self.listener.close()
        self.refuse(True)


def run_sim(program, fixture, *arguments):
    """camknob-sim's answer to a command over the fixture."""
    environment = dict(os.environ, CAMKNOB_SIM_FIXTURE=fixture.path)
    done = subprocess.run([program, *arguments], env=environment, capture_output=True, text=True, timeout=30)
    return json.loads(done.stdout)


class Browser:
    """Headless Chromium with its console and network logged."""

    def __init__(self, width=1280, height=900, fake_cameras=0):
        """`fake_cameras`: how many of Chromium's fake video inputs
        ("fake_device_0", ...) it offers, granted without asking; none
        without."""
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service

        options = webdriver.ChromeOptions()
        options.binary_location = first_program(BROWSER_NAMES)
        for argument in (
            "--headless=new",
            "--disable-gpu",
            "--disable-dev-shm-usage",
            "--no-first-run",
            "--disable-extensions",
            "--disable-background-networking",
            "--disable-component-update",
            "--disable-default-apps",
            "--disable-sync",
            "--metrics-recording-only",
            "--no-default-browser-check",
            f"--window-size={width},{height}",
        ):
            options.add_argument(argument)
        if fake_cameras:
            options.add_argument(f"--use-fake-device-for-media-stream=device-count={fake_cameras}")
            options.add_argument("--use-fake-ui-for-media-stream")
        if os.geteuid() == 0:
            options.add_argument("--no-sandbox")
        options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
        options.add_experimental_option("perfLoggingPrefs", {"enableNetwork": True, "enablePage": False})
        self.profile = tempfile.mkdtemp(prefix="camknob-page-chromium-")
        options.add_argument(f"--user-data-dir={self.profile}")
        self.driver = webdriver.Chrome(service=Service(first_program(DRIVER_NAMES)), options=options)
        self.driver.set_script_timeout(30)
        self.network = []  # the Network events of the performance log: (method, params)

    def take_network_log(self):
        """Moves the performance log's Network events into self.network."""
        for entry in self.driver.get_log("performance"):
            message = json.loads(entry["message"])["message"]
            if message["method"].startswith("Network."):
                self.network.append((message["method"], message["params"]))
        return self.network

    def forget_network_log(self):
        self.take_network_log()
        self.network = []

    def requests(self):
        """Every request sent so far: {id, time (s), method, url, body, document,
        end, status}, `document` the URL of the page that made it, `end` the
        time its answer was in (None while it is not) and `status` its HTTP
        status (None before it or without one)."""
        made = {}
        for method, params in self.take_network_log():
            if method == "Network.requestWillBeSent":
                request = params["request"]
                made[params["requestId"]] = {
                    "id": params["requestId"],
                    "time": params["timestamp"],
                    "method": request["method"],
                    "url": request["url"],
                    "body": request.get("postData"),
                    "document": params.get("documentURL", ""),
                    "end": None,
                    "status": None,
                }
            elif method == "Network.responseReceived":
                if params["requestId"] in made:
                    made[params["requestId"]]["status"] = params["response"]["status"]
            elif method in ("Network.loadingFinished", "Network.loadingFailed"):
                if params["requestId"] in made:
                    made[params["requestId"]]["end"] = params["timestamp"]
            elif method == "Network.webSocketCreated":
                made["socket " + params["url"]] = {"id": None, "time": 0, "method": "WEBSOCKET", "url": params["url"],
                                                   "body": None, "document": "", "end": None}
        return sorted(made.values(), key=lambda request: request["time"])

    def console_errors(self):
        return [entry for entry in self.driver.get_log("browser") if entry["level"] == "SEVERE"]

    def quit(self):
        try:
            self.driver.quit()
        finally:
            shutil.rmtree(self.profile, ignore_errors=True)
