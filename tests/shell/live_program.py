#!/usr/bin/python3
"""The built program as a user meets it, watched through the accessibility bus the way a screen
reader sees it, and driven with real key presses: a long reading at the line's real speed shows
growing progress, the About box opens within a second while the reading goes on, the reading is
delivered exactly once; a cradle unplugged and plugged back is opened and read again by itself;
Stop leaves the reading undelivered; Exit during a reading ends the program cleanly; a file
dialog opened after the configuration dialog is still on the bus.

Usage (under a virtual X server and a session bus with the accessibility bus running):
    live_program.py APP WORK SIM_FIFO DOCUMENTS ENTRIES
APP is the program, WORK the profile folder made by tools/demo-profile.sh (output in
WORK/out/shop.txt), SIM_FIFO the simulator's command input; the terminal holds DOCUMENTS
documents of ENTRIES entries, each with its own 13-digit code starting 56.
"""
import glob
import json
import os
import re
import subprocess
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

APP, WORK, SIM_FIFO = sys.argv[1:4]
DOCUMENTS, ENTRIES = int(sys.argv[4]), int(sys.argv[5])
OUTPUT = os.path.join(WORK, "out", "shop.txt")
PROGRESS = re.compile(r"^Reading: (\d+) documents, ([\d,]+) records$")
failures = []


def check(condition, what):
    print(("ok      " if condition else "FAILED  ") + what, flush=True)
    if not condition:
        failures.append(what)


def sim(command):
    with open(SIM_FIFO, "w") as fifo:
        fifo.write(command + "\n")


# What a screen reader hears: the windows the program announces as they appear.
announced = []


def on_window_event(event):
    try:
        announced.append((event.type, event.source.get_role_name(), event.source.get_name()))
    except gi.repository.GLib.Error:
        announced.append((event.type, None, None))


listener = Atspi.EventListener.new(on_window_event)
for kind in ("window:create", "window:activate", "object:state-changed:active"):
    listener.register(kind)


# A desktop's notification server on the session bus, keeping what the program shows.
notices = []
NOTIFICATIONS = """<node><interface name="org.freedesktop.Notifications">
<method name="Notify"><arg type="s" direction="in"/><arg type="u" direction="in"/>
<arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="s" direction="in"/>
<arg type="as" direction="in"/><arg type="a{sv}" direction="in"/><arg type="i" direction="in"/>
<arg type="u" direction="out"/></method>
<method name="GetCapabilities"><arg type="as" direction="out"/></method>
<method name="GetServerInformation"><arg type="s" direction="out"/><arg type="s" direction="out"/>
<arg type="s" direction="out"/><arg type="s" direction="out"/></method>
</interface></node>"""


def on_notification_call(connection, sender, path, interface, method, parameters, invocation):
    GLib = gi.repository.GLib
    if method == "Notify":
        notices.append(parameters.unpack())
        invocation.return_value(GLib.Variant("(u)", (len(notices),)))
    elif method == "GetCapabilities":
        invocation.return_value(GLib.Variant("(as)", (["body"],)))
    else:
        invocation.return_value(GLib.Variant("(ssss)", ("test", "kolbrin", "1", "1.2")))


def serve_notifications():
    from gi.repository import Gio
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    interface = Gio.DBusNodeInfo.new_for_xml(NOTIFICATIONS).interfaces[0]
    bus.register_object("/org/freedesktop/Notifications", interface, on_notification_call)
    Gio.bus_own_name_on_connection(bus, "org.freedesktop.Notifications",
                                   Gio.BusNameOwnerFlags.NONE, None, None)
    return bus


notification_bus = serve_notifications()


def pump_events():
    context = gi.repository.GLib.MainContext.default()
    while context.iteration(False):
        pass


def wait_until(predicate, limit, step=0.05):
    """The predicate's first true value within `limit` seconds, else None."""
    end = time.monotonic() + limit
    while True:
        pump_events()
        value = predicate()
        if value or time.monotonic() >= end:
            return value or None
        time.sleep(step)


def walk(node, depth=0):
    if node is None or depth > 12:
        return
    yield node
    for i in range(node.get_child_count()):
        yield from walk(node.get_child_at_index(i), depth + 1)


def application(pid):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except gi.repository.GLib.Error:
            continue
    return None


def top_windows(pid):
    app = application(pid)
    if app is None:
        return []
    return [app.get_child_at_index(i) for i in range(app.get_child_count())]


def status_texts(pid):
    """The texts of the main window's status panels."""
    for window in top_windows(pid):
        if window is None or window.get_role() != Atspi.Role.FRAME:
            continue
        for node in walk(window):
            if node.get_role() == Atspi.Role.STATUS_BAR:
                return [c.get_name() for c in walk(node) if c.get_role() == Atspi.Role.LABEL]
    return []


def progress(pid):
    for text in status_texts(pid):
        match = PROGRESS.match(text)
        if match:
            return int(match.group(1)), int(match.group(2).replace(",", ""))
    return None


def dialog_named(pid, pattern):
    for window in top_windows(pid):
        if window is not None and window.get_role() in (
                Atspi.Role.DIALOG, Atspi.Role.ALERT, Atspi.Role.FILE_CHOOSER) \
                and re.search(pattern, window.get_name() or ""):
            return window
    return None


def click(node):
    box = node.get_extents(Atspi.CoordType.SCREEN)
    subprocess.run(["xdotool", "mousemove", "--sync", str(box.x + box.width // 2),
                    str(box.y + box.height // 2), "click", "1"], check=True)


def choose_menu_item(pid, menu, name):
    """Chooses a menu command with the mouse, where the bus says the menu and the item are."""
    def item(wanted):
        for window in top_windows(pid):
            for node in walk(window):
                if node.get_role() == Atspi.Role.MENU_ITEM and node.get_name() == wanted \
                        and node.get_state_set().contains(Atspi.StateType.SHOWING):
                    return node
        return None
    top = item(menu)
    if top is None:
        return False
    click(top)
    entry = wait_until(lambda: item(name), 5)
    if entry is None:
        return False
    click(entry)
    return True


def press(keys):
    # Real key presses through the X server, to the program's focused window.
    subprocess.run(["xdotool", "key", "--clearmodifiers"] + keys.split(), check=True)


def focus_main(pid):
    ids = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid", str(pid),
                          "--name", "^Kolbrin"], capture_output=True, text=True).stdout.split()
    if ids:
        subprocess.run(["xdotool", "windowfocus", "--sync", ids[0]], check=False)


def history():
    env = dict(os.environ, QT_QPA_PLATFORM="")
    env.pop("DISPLAY", None)
    out = subprocess.run([APP, "--history", "--json"], capture_output=True, text=True, env=env)
    return json.loads(out.stdout or "[]")


def readings():
    value = history()
    return value if isinstance(value, list) else value.get("readings", [])


def start_program():
    errors = open(os.path.join(WORK, "app.err"), "a")
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    program = subprocess.Popen([APP], stderr=errors, env=env)
    ready = wait_until(lambda: any("Port Open" in t for t in status_texts(program.pid)), 30, 0.2)
    check(ready is not None, "the program opens its port and is on the accessibility bus")
    focus_main(program.pid)
    return program


def read_with_progress(pid):
    """Places the terminal and samples the progress text until it is gone."""
    sim("place")
    seen = []
    first = wait_until(lambda: progress(pid), 30, 0.02)
    check(first is not None, "the progress text appears during a reading")
    return seen + ([first] if first else [])


def scenario_read_about_and_deliver():
    program = start_program()
    pid = program.pid
    seen = read_with_progress(pid)
    # About while the reading goes on.
    focus_main(pid)
    started = time.monotonic()
    press("F1")
    about = wait_until(lambda: dialog_named(pid, r"."), 5, 0.02)
    elapsed = time.monotonic() - started
    check(about is not None and elapsed <= 1.0,
          "F1 opens the About box within 1 s during a reading (%.2f s)" % elapsed)
    # The progress keeps growing behind the About box.
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        value = progress(pid)
        if value is None and seen and not os.path.exists(OUTPUT + ".kolbrin-tmp"):
            if os.path.exists(OUTPUT):
                break
        if value and (not seen or value != seen[-1]):
            seen.append(value)
        time.sleep(0.1)
    grew = all(b[0] >= a[0] and b[1] >= a[1] for a, b in zip(seen, seen[1:]))
    check(len(seen) >= 3 and grew and seen[-1][1] > seen[0][1],
          "the progress count grows (%d distinct values, %s to %s)"
          % (len(seen), seen[0] if seen else None, seen[-1] if seen else None))
    press("Escape")
    wait_until(lambda: dialog_named(pid, r".") is None, 5)
    wait_until(lambda: any(r.get("result") == "delivered" for r in readings()), 60, 0.2)
    delivered = [r for r in readings() if r.get("result") == "delivered"]
    check(len(delivered) == 1, "the reading is delivered exactly once (%d)" % len(delivered))
    # Each document's header is a record and a line too, in the progress and the journal alike.
    records = DOCUMENTS * (ENTRIES + 1)
    wanted = "LIVE01: %d documents, %s records → shop.txt" % (DOCUMENTS, format(records, ","))
    shown = wait_until(lambda: [n for n in notices if n[4] == wanted], 10)
    check(bool(shown), "the desktop shows '%s' (%s)" % (wanted, [n[4] for n in notices]))
    codes = re.findall(r"^(56\d{11}) ", open(OUTPUT, encoding="utf-8").read(), re.M)
    check(len(codes) == DOCUMENTS * ENTRIES and len(set(codes)) == len(codes),
          "the output file holds every record once (%d records)" % len(codes))
    return program


def scenario_unplug_and_plug_back(program):
    """The cradle's device goes away (the simulator ends) and comes back on the same path: the
    program says so, opens it again by itself and reads the next terminal placed."""
    pid = program.pid
    before = len(readings())
    sim("quit")
    gone = wait_until(lambda: any(t.startswith("Cradle disconnected") for t in status_texts(pid)),
                      15, 0.1)
    check(gone is not None, "the status says the cradle is disconnected")
    output = os.path.join(WORK, "sim2.out")
    with open(SIM_FIFO, "rb") as commands:
        # The same command input, so that the test's other commands reach the new simulator.
        subprocess.Popen([os.path.join(os.environ["KOLBRIN_BIN"], "qel-sim"), "--terminal",
                          os.path.join(WORK, "..", "terminal.json"), "--link",
                          os.path.join(WORK, "com1"), "--state", os.path.join(WORK, "state"),
                          "--removed", "--line-rate"], stdin=commands,
                         stdout=open(output, "w"), stderr=open(output + ".err", "w"))
    back = wait_until(lambda: os.path.exists(output) and "ready" in open(output).read(), 30, 0.02)
    returned = time.monotonic()
    reopened = back and wait_until(
        lambda: any(t.startswith("Port Open") for t in status_texts(pid)), 10, 0.02)
    took = time.monotonic() - returned
    check(bool(reopened) and took <= 3.0,
          "the port is open again %.2f s after the device came back" % took)
    sim("place")
    check(wait_until(lambda: len(readings()) > before, 60, 0.2) is not None,
          "the next terminal placed is read without the user")


def read_again(pid):
    """Takes the terminal out and puts it back, and waits until its reading shows progress;
    returns the output file as it was before."""
    before = open(OUTPUT, "rb").read()
    sim("remove")
    time.sleep(1.5)
    read_with_progress(pid)
    focus_main(pid)
    return before


def scenario_stop(program):
    pid = program.pid
    before = read_again(pid)
    press("Escape")
    ended = wait_until(lambda: progress(pid) is None, 15, 0.05)
    check(ended is not None, "Esc ends the reading")
    result = wait_until(lambda: [r for r in readings() if r.get("result") == "incomplete"], 15)
    check(bool(result), "a stopped reading is journaled as incomplete")
    told = wait_until(lambda: [n for n in notices if "the reading stopped after" in n[4]], 10)
    check(bool(told), "the desktop is told of the stopped reading (%s)" % [n[4] for n in notices])
    time.sleep(1.0)
    check(open(OUTPUT, "rb").read() == before, "a stopped reading leaves the output alone")
    log = os.path.join(WORK, "state", "events.log")
    check(not any(line.startswith("I_ClearAllEntries") for line in open(log)),
          "a stopped reading does not clear the terminal")


def leftovers():
    found = []
    for pattern in ("**/*.kolbrin-tmp", "**/*.lock", "**/*.lck"):
        found += glob.glob(os.path.join(WORK, pattern), recursive=True)
    return found


def scenario_exit_during_reading(program):
    pid = program.pid
    before = read_again(pid)
    started = time.monotonic()
    press("ctrl+q")
    try:
        code = program.wait(30)
    except subprocess.TimeoutExpired:
        program.kill()
        code = None
    check(code == 0, "Exit during a reading ends the program (exit %s after %.1f s)"
          % (code, time.monotonic() - started))
    children = subprocess.run(["pgrep", "-P", str(pid)], capture_output=True, text=True).stdout
    check(not children.strip(), "no process of the program is left")
    check(not leftovers(), "no lock or temporary file is left: %s" % leftovers())
    check(open(OUTPUT, "rb").read() == before, "no partial output is written")


def scenario_dialogs_after_configuration():
    # An empty cradle, so that no reading greys the port commands.
    sim("remove")
    program = start_program()
    pid = program.pid
    press("ctrl+comma")
    configuration = wait_until(lambda: dialog_named(pid, r"."), 10)
    check(configuration is not None, "the configuration dialog is on the accessibility bus")
    # Every list in it opened and moved, as a user trying the settings would.
    combos = [n for n in walk(configuration) if n.get_role() == Atspi.Role.COMBO_BOX
              and n.get_state_set().contains(Atspi.StateType.SHOWING)]
    for combo in combos:
        click(combo)
        time.sleep(0.3)
        press("Down")
        press("Return")
        time.sleep(0.3)
    press("Escape")
    wait_until(lambda: dialog_named(pid, r".") is None, 10)
    focus_main(pid)
    # File dialogs after the configuration dialog: File > Load by its shortcut, and the list
    # file of "Send entries to terminal" with the mouse through the menus.
    for command in ("ctrl+o", "Send entries to terminal"):
        pump_events()
        announced.clear()
        if " " in command:
            check(choose_menu_item(pid, "Communication", command),
                  "the menu item %s is on the bus" % command)
        else:
            press(command)
        chooser = wait_until(lambda: dialog_named(pid, r"."), 10)
        check(chooser is not None, "the file dialog of %s is on the bus" % command)
        heard = chooser is not None and wait_until(lambda: [a for a in announced
                                    if a[0] == "window:activate" and a[1] == "dialog"
                                    and a[2] == chooser.get_name()], 5)
        check(bool(heard), "the file dialog of %s is announced as it opens" % command)
        press("Escape")
        wait_until(lambda: dialog_named(pid, r".") is None, 10)
        focus_main(pid)
    press("ctrl+q")
    try:
        program.wait(20)
    except subprocess.TimeoutExpired:
        program.kill()
    complaints = [line for line in open(os.path.join(WORK, "app.err"), errors="replace")
                  if "QAccessible" in line]
    check(not complaints, "Qt's accessibility reports no fault: %s" % complaints[:3])


program = scenario_read_about_and_deliver()
scenario_unplug_and_plug_back(program)
scenario_stop(program)
scenario_exit_during_reading(program)
scenario_dialogs_after_configuration()
if failures:
    print("%d check(s) failed" % len(failures))
    sys.exit(1)
print("live program: ok")
