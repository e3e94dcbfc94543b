#!/usr/bin/env python3
"""A stand-in desktop back end for the desktop portal front end.

Implements org.freedesktop.impl.portal.GlobalShortcuts and
org.freedesktop.impl.portal.Inhibit on the session bus and writes what it is
asked to the file named by STAND_IN_LOG, one line each. The test drives it
through org.kalvo2.test.StandIn: Activate(id) presses a bound shortcut.
Shortcut ids listed in STAND_IN_REFUSE (comma separated) are left out of
every bind answer; with STAND_IN_SILENT set, a bind is never answered.
"""
import os
import sys
import time

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = "org.freedesktop.impl.portal.desktop.kalvotest"
PATH = "/org/freedesktop/portal/desktop"
SHORTCUTS = "org.freedesktop.impl.portal.GlobalShortcuts"
INHIBIT = "org.freedesktop.impl.portal.Inhibit"
REQUEST = "org.freedesktop.impl.portal.Request"
SESSION = "org.freedesktop.impl.portal.Session"
CONTROL = "org.kalvo2.test.StandIn"

log_path = os.environ["STAND_IN_LOG"]
refused = set(filter(None, os.environ.get("STAND_IN_REFUSE", "").split(",")))
silent = bool(os.environ.get("STAND_IN_SILENT"))
unanswered = []


def note(line):
    with open(log_path, "a", encoding="utf-8") as f:
        f.write(line + "\n")


def describe(trigger):
    """The trigger as a desktop shows it: CTRL+ALT+n -> Ctrl+Alt+N."""
    parts = str(trigger).split("+")
    names = {"CTRL": "Ctrl", "ALT": "Alt", "SHIFT": "Shift", "LOGO": "Meta"}
    out = [names.get(p, p) for p in parts[:-1]]
    key = parts[-1] if parts else ""
    out.append(key[:1].upper() + key[1:])
    return "+".join(out)


class Session(dbus.service.Object):
    def __init__(self, bus, path, owner):
        super().__init__(bus, path)
        self.owner = owner
        self.path = path

    @dbus.service.method(SESSION, in_signature="", out_signature="")
    def Close(self):
        note("SessionClosed " + self.path)
        self.owner.sessions.pop(self.path, None)
        self.remove_from_connection()


class InhibitRequest(dbus.service.Object):
    def __init__(self, bus, path, flags):
        super().__init__(bus, path)
        self.path = path
        self.flags = flags

    @dbus.service.method(REQUEST, in_signature="", out_signature="")
    def Close(self):
        note("InhibitReleased %d %s" % (self.flags, self.path))
        self.remove_from_connection()


class Portal(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, PATH)
        self.bus = bus
        self.sessions = {}  # path -> (Session, bound ids)

    @dbus.service.method(SHORTCUTS, in_signature="oosa{sv}", out_signature="ua{sv}")
    def CreateSession(self, handle, session_handle, app_id, options):
        note("CreateSession %s app_id=%s" % (session_handle, app_id))
        self.sessions[str(session_handle)] = (Session(self.bus, session_handle, self), [])
        return dbus.UInt32(0), {"shortcuts": dbus.Array([], signature="(sa{sv})")}

    @dbus.service.method(SHORTCUTS, in_signature="ooa(sa{sv})sa{sv}", out_signature="ua{sv}",
                         async_callbacks=("reply", "error"))
    def BindShortcuts(self, handle, session_handle, shortcuts, parent_window, options, reply, error):
        if silent:
            note("BindShortcuts unanswered %s" % session_handle)
            unanswered.append((reply, error))
            return
        reply(*self.bind(session_handle, shortcuts))

    def bind(self, session_handle, shortcuts):
        bound = []
        for sid, props in shortcuts:
            note("Shortcut %s|%s|%s" % (sid, props.get("description", ""), props.get("preferred_trigger", "")))
            if str(sid) in refused:
                continue
            bound.append(dbus.Struct((sid, {"description": props.get("description", ""),
                                            "trigger_description": describe(props.get("preferred_trigger", ""))}),
                                     signature="sa{sv}"))
        entry = self.sessions.get(str(session_handle))
        if entry is not None:
            entry[1][:] = [str(s[0]) for s in bound]
        note("BindShortcuts %s %d" % (session_handle, len(bound)))
        return dbus.UInt32(0), {"shortcuts": dbus.Array(bound, signature="(sa{sv})")}

    @dbus.service.method(SHORTCUTS, in_signature="oo", out_signature="ua{sv}")
    def ListShortcuts(self, handle, session_handle):
        return dbus.UInt32(0), {"shortcuts": dbus.Array([], signature="(sa{sv})")}

    @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
    def Activated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
    def Deactivated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.method(INHIBIT, in_signature="ossua{sv}", out_signature="")
    def Inhibit(self, handle, app_id, window, flags, options):
        note("Inhibit %d %s %s" % (flags, options.get("reason", ""), handle))
        InhibitRequest(self.bus, handle, int(flags))

    @dbus.service.method(CONTROL, in_signature="s", out_signature="i")
    def Activate(self, shortcut_id):
        """Presses and lets go the shortcut in every session that bound it."""
        count = 0
        stamp = dbus.UInt64(int(time.monotonic() * 1000))
        for path, (_, ids) in list(self.sessions.items()):
            if shortcut_id in ids:
                self.Activated(dbus.ObjectPath(path), shortcut_id, stamp, {})
                self.Deactivated(dbus.ObjectPath(path), shortcut_id, stamp, {})
                count += 1
        note("Activate %s %d" % (shortcut_id, count))
        return count


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    portal = Portal(bus)
    name = dbus.service.BusName(NAME, bus, do_not_queue=True)
    note("ready")
    GLib.MainLoop().run()
    del name, portal


if __name__ == "__main__":
    sys.exit(main())
