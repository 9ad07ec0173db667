"""Velquor as a screen reader sees it, over AT-SPI: the main window and the
record list with every element's role and name; the "Record" button pressed
through its action starts a recording whose time is read as it changes;
the play bar moved through its value interface seeks the playing file.
Run by CTest inside desktop_session.sh beside the private sound server."""

import sys
import time

import pyatspi
from gi.repository import GLib

from a11y_common import (do_action, element, expect, start_velquor, stop_velquor, text_of,
                         velquor_app, wait_until, walk, window)

MAIN = [("push button", "Open"), ("push button", "List"), ("push button", "Options"),
        ("push button", "ID3"), ("push button", "Help"), ("label", "Ready to record"),
        ("label", "00:00:00"), ("label", "Format"), ("slider", "Play Bar"),
        ("push button", "Record"), ("push button", "Pause"), ("push button", "Stop"),
        ("push button", "Play")]
LIST = [("push button", "Add"), ("push button", "Del")]


def tree(win):
    return [(acc.getRoleName(), acc.name) for _, acc in walk(win)]


def main(program):
    velquor, _ = start_velquor(program)
    try:
        app = velquor_app()
        main_window = window(app, "Velquor")
        seen = tree(main_window)
        for role, name in MAIN:
            expect((role, name) in seen, "main window has %s %r" % (role, name))
        bar = element(main_window, "Play Bar", "slider")
        expect(bar.getState().contains(pyatspi.STATE_SENSITIVE) is False,
               "the play bar is disabled with nothing playing")

        heard = []  # (when, text) of the time label's name changes, as a reader hears them

        def on_name(event):
            if event.source is not None and event.source.description == "Time":
                heard.append((time.monotonic(), event.source.name))

        pyatspi.Registry.registerEventListener(on_name, "object:property-change:accessible-name")
        do_action(element(main_window, "Record", "push button"), "Press")
        # The labels are named by what they show; their descriptions say what they are.
        labels = {acc.description: acc for _, acc in walk(main_window)
                  if acc.getRoleName() == "label"}
        time_label, file_label, format_label = labels["Time"], labels["File Name"], labels["Format"]
        times = []
        deadline = time.monotonic() + 12
        while time.monotonic() < deadline and not (times and times[-1].endswith("00:00:06")):
            shown = text_of(time_label)
            if not times or shown != times[-1]:
                times.append(shown)
            context = GLib.MainContext.default()
            while context.pending():
                context.iteration(False)
            time.sleep(0.1)
        print("time read:", times)
        expect(len(set(times)) >= 6 and times == sorted(times) and times[-1].endswith("00:00:06"),
               "the time label counts the recording up second by second")
        print("heard:", [text for _, text in heard])
        expect(len(heard) >= 5, "a reader hears the time change")
        gaps = [b[0] - a[0] for a, b in zip(heard, heard[1:])]
        expect(min(gaps) > 0.8, "at most once a second (gaps %s)" % ["%.2f" % g for g in gaps])
        expect(text_of(file_label).endswith(".mp3"), "the file name shows the recording")
        expect(text_of(format_label).startswith("MP3"), "the format shows the recording's format")

        do_action(element(main_window, "Stop", "push button"), "Press")
        do_action(element(main_window, "List", "push button"), "Press")
        record_list = window(app, "Record List")
        seen = tree(record_list)
        for role, name in LIST:
            expect((role, name) in seen, "record list has %s %r" % (role, name))
        rows = element(record_list, "Recordings")
        expect(rows.getRoleName() in ("tree table", "table", "list", "tree"),
               "the list of recordings is a table (%s)" % rows.getRoleName())
        recorded = text_of(file_label)
        wait_until("the recording's row", lambda: recorded in
                   [acc.name for _, acc in walk(rows)])

        do_action(element(main_window, "Play", "push button"), "Press")
        wait_until("the play bar enabled",
                   lambda: bar.getState().contains(pyatspi.STATE_SENSITIVE))
        value = bar.queryValue()
        expect(value.maximumValue == 1000 and value.minimumValue == 0, "the bar runs 0..1000")
        value.currentValue = 500.0
        wait_until("the bar at its middle", lambda: 500 <= value.currentValue < 700, 3)
        # Six seconds recorded: the middle is 00:00:03 of 00:00:06.
        wait_until("the time after the seek",
                   lambda: text_of(time_label) in ("00:00:03/00:00:06", "00:00:04/00:00:06"), 3)
        print("time after the seek:", text_of(time_label))
        do_action(element(main_window, "Stop", "push button"), "Press")
        print("passed")
    finally:
        stop_velquor(velquor)


if __name__ == "__main__":
    main(sys.argv[1])
