"""What the screen reader and keyboard tests share: starting Velquor in the
session of desktop_session.sh, finding it and its windows on the
accessibility bus, walking them, and bounded waits."""

import os
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi


def start_velquor(program):
    """Velquor with a home, settings and music folder of its own (the recordings
    of an earlier test must not be taken for this one's); returns the process
    and the music folder."""
    home = tempfile.mkdtemp(prefix="velquor-a11y-")
    music = os.path.join(home, "Music")
    os.makedirs(music)
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_MUSIC_DIR=music)
    process = subprocess.Popen([program], env=env)
    process.home = home
    return process, music


def stop_velquor(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    shutil.rmtree(process.home, ignore_errors=True)


def expect(condition, message):
    if not condition:
        sys.exit("FAILED: " + message)
    print("ok:", message)


def wait_until(what, check, timeout=10.0):
    """check() until it returns something true; fails the test after timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = check()
        if value:
            return value
        if time.monotonic() > deadline:
            sys.exit("timed out waiting for " + what)
        time.sleep(0.05)


def velquor_app():
    def find():
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == "Velquor":
                return app
        return None

    return wait_until("Velquor on the accessibility bus", find, 20)


def walk(acc, depth=0):
    """Yields (depth, accessible) for acc and everything below it."""
    yield depth, acc
    for child in acc:
        if child is not None:
            yield from walk(child, depth + 1)


def window(app, name):
    def find():
        for child in app:
            if child is not None and child.name == name and child.getState().contains(
                pyatspi.STATE_SHOWING
            ):
                return child
        return None

    return wait_until("the window " + name, find)


def element(win, name, role=None):
    def find():
        for _, acc in walk(win):
            if acc.name == name and (role is None or acc.getRoleName() == role):
                return acc
        return None

    return wait_until("the element %s in %s" % (name, win.name), find)


def text_of(acc):
    return acc.queryText().getText(0, -1)


def do_action(acc, name):
    action = acc.queryAction()
    for i in range(action.nActions):
        if action.getName(i) == name:
            return action.doAction(i)
    sys.exit("%s has no action %s" % (acc.name, name))
