"""Velquor without a mouse: under X, with keys sent by xdotool only, record,
stop, play, seek and remove a row of the record list; what happened is read
back over AT-SPI. Run by CTest inside desktop_session.sh beside the private
sound server."""

import glob
import os
import subprocess
import sys
import time

import pyatspi

from a11y_common import (element, expect, start_velquor, stop_velquor, text_of, velquor_app,
                         wait_until, walk, window)


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True, timeout=20)


def focus_window(title):
    # The input focus straight to the window: there is no window manager to ask.
    xdotool("search", "--sync", "--name", "^%s$" % title, "windowfocus", "--sync")
    time.sleep(0.3)


def keys(*names):
    for name in names:
        xdotool("key", "--delay", "60", name)
        time.sleep(0.15)


def main(program):
    velquor, music = start_velquor(program)
    try:
        app = velquor_app()
        main_window = window(app, "Velquor")
        labels = {acc.description: acc for _, acc in walk(main_window)
                  if acc.getRoleName() == "label"}
        time_label, file_label = labels["Time"], labels["File Name"]
        bar = element(main_window, "Play Bar", "slider")
        focus_window("Velquor")

        keys("ctrl+r")
        wait_until("seven seconds recorded", lambda: text_of(time_label).endswith("00:00:07"), 15)
        keys("ctrl+s")
        recorded = wait_until("a recorded file", lambda: glob.glob(os.path.join(music, "*.mp3")))
        name = os.path.basename(recorded[0])
        wait_until("the file name %s shown (%r)" % (name, text_of(file_label)),
                   lambda: text_of(file_label) == name)
        print("ok: Ctrl+R and Ctrl+S recorded", name)

        keys("ctrl+space")
        wait_until("playing", lambda: bar.getState().contains(pyatspi.STATE_SENSITIVE))
        print("ok: Ctrl+Space plays the recording")
        keys("ctrl+p")  # paused, so the bar stays where the keys put it
        # Open, List, Options, ID3, Help, then the bar.
        keys("Tab", "Tab", "Tab", "Tab", "Tab", "Tab")
        wait_until("the bar focused", lambda: bar.getState().contains(pyatspi.STATE_FOCUSED))
        start = bar.queryValue().currentValue
        keys("Right")
        moved = wait_until("the bar moved", lambda: bar.queryValue().currentValue > start)
        print("bar %d -> %d, time %s" % (start, bar.queryValue().currentValue, text_of(time_label)))
        expect(text_of(time_label).startswith(("00:00:05/", "00:00:06/")) and moved,
               "Right moved the bar 5 s on")
        keys("Home")
        wait_until("the bar at the start", lambda: bar.queryValue().currentValue == 0)
        expect(text_of(time_label).startswith("00:00:00/"), "Home moved the bar to the start")
        keys("ctrl+s")
        wait_until("stopped", lambda: not bar.getState().contains(pyatspi.STATE_SENSITIVE))

        keys("ctrl+l")
        record_list = window(app, "Record List")
        rows = element(record_list, "Recordings")
        entries = lambda: [acc.name for _, acc in walk(rows) if acc.name == name]
        wait_until("the recording listed", entries)
        focus_window("Record List")
        keys("Tab", "Tab", "Tab")  # Add, Del, then the rows
        wait_until("the rows focused", lambda: rows.getState().contains(pyatspi.STATE_FOCUSED))
        keys("Home", "Delete")
        wait_until("the row removed", lambda: not entries())
        print("ok: Delete removed the row")
        print("passed")
    finally:
        stop_velquor(velquor)


if __name__ == "__main__":
    main(sys.argv[1])
