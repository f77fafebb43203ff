"""A small client of the browser's DevTools protocol over --remote-debugging-pipe.

Headless chromium reads commands from its file descriptor 3 and writes answers
and events to descriptor 4, each message JSON ending in a NUL: no WebSocket,
no port, nothing but the standard library.
"""
import json
import os
import shutil
import subprocess
import time


class BrowserError(Exception):
    pass


def find_chromium():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        path = shutil.which(name)
        if path:
            return path
    return None


class Browser:
    """One headless chromium with a profile folder of its own, and one page."""

    def __init__(self, profile_dir, width=1280, height=900, executable=None):
        self.executable = executable or find_chromium()
        if not self.executable:
            raise BrowserError("no chromium on PATH")
        to_browser_read, self._to_browser = os.pipe()
        self._from_browser, from_browser_write = os.pipe()

        def child_fds():
            # Copies first: either pipe end may itself sit on 3 or 4.
            reading, writing = os.dup(to_browser_read), os.dup(from_browser_write)
            os.dup2(reading, 3)
            os.dup2(writing, 4)

        args = [self.executable, "--headless", "--no-sandbox", "--disable-gpu", "--remote-debugging-pipe",
                "--user-data-dir=" + profile_dir, "--window-size=%d,%d" % (width, height),
                "--no-first-run", "--no-default-browser-check", "--disable-extensions",
                "--allow-file-access-from-files", "about:blank"]
        self._process = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                         stderr=subprocess.PIPE, preexec_fn=child_fds,
                                         pass_fds=(3, 4))
        os.close(to_browser_read)
        os.close(from_browser_write)
        self._buffer = b""
        self._next_id = 0
        self.events = []
        self.session = None
        target = self.call("Target.createTarget", {"url": "about:blank"}, session=False)["targetId"]
        self.session = self.call("Target.attachToTarget", {"targetId": target, "flatten": True},
                                 session=False)["sessionId"]
        for domain in ("Page", "Runtime", "Log"):
            self.call(domain + ".enable")

    def _read_message(self, deadline):
        while b"\0" not in self._buffer:
            if time.monotonic() > deadline:
                raise BrowserError("no answer from the browser in time")
            chunk = os.read(self._from_browser, 1 << 20)
            if not chunk:
                stderr = self._process.stderr.read().decode(errors="replace") if self._process.stderr else ""
                raise BrowserError("the browser ended: " + stderr[-2000:])
            self._buffer += chunk
        message, self._buffer = self._buffer.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, params=None, session=True, timeout=120):
        self._next_id += 1
        message = {"id": self._next_id, "method": method, "params": params or {}}
        if session and self.session:
            message["sessionId"] = self.session
        os.write(self._to_browser, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + timeout
        while True:
            answer = self._read_message(deadline)
            if answer.get("id") == self._next_id:
                if "error" in answer:
                    raise BrowserError("%s: %s" % (method, answer["error"]))
                return answer.get("result", {})
            self.events.append(answer)
            if answer.get("method") == "Page.javascriptDialogOpening":
                # A dialog would stop the page; close it and let the caller see the event.
                self.call("Page.handleJavaScriptDialog", {"accept": False})

    def evaluate(self, expression, timeout=120):
        """The value of an expression in the page; a promise is awaited."""
        result = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True,
                                                "awaitPromise": True}, timeout=timeout)
        if "exceptionDetails" in result:
            raise BrowserError("%s: %s" % (expression[:80], result["exceptionDetails"]))
        return result["result"].get("value")

    def open(self, url, ready_expression, timeout=120):
        """Loads the page and waits until ready_expression is true in it (checked at each frame)."""
        self.call("Page.navigate", {"url": url})
        wait = ("new Promise(done => { const t = () => { try { if (%s) return done(true); } catch (e) {} "
                "requestAnimationFrame(t); }; t(); })" % ready_expression)
        return self.evaluate(wait, timeout=timeout)

    def problems(self):
        """Console errors, uncaught exceptions and dialogs reported so far."""
        found = []
        for event in self.events:
            method, params = event.get("method"), event.get("params", {})
            if method == "Runtime.consoleAPICalled" and params.get("type") in ("error", "assert"):
                found.append("console: " + json.dumps(params.get("args"))[:300])
            elif method == "Runtime.exceptionThrown":
                found.append("exception: " + json.dumps(params.get("exceptionDetails"))[:500])
            elif method == "Log.entryAdded" and params.get("entry", {}).get("level") == "error":
                found.append("log: " + params["entry"].get("text", "")[:300])
            elif method == "Page.javascriptDialogOpening":
                found.append("dialog: " + params.get("message", ""))
        return found

    def close(self):
        try:
            self.call("Browser.close", session=False, timeout=10)
        except (BrowserError, OSError):
            pass
        try:
            self._process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self._process.kill()
            self._process.wait()
        os.close(self._to_browser)
        os.close(self._from_browser)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
