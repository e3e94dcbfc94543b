#!/usr/bin/env python3
"""A stand-in desktop back end for the desktop portal front end.

Implements org.freedesktop.impl.portal.GlobalShortcuts and
org.freedesktop.impl.portal.Inhibit on the session bus and writes what it is
asked to the file named by STAND_IN_LOG, one line each. The test drives it
through org.kalvo2.test.StandIn: Activate(id) presses a bound shortcut,
SetTrigger(id, trigger) changes a trigger as a user does in the desktop's
settings.

It answers as the desktops' own back ends do. STAND_IN_DESKTOP=gnome (the
default): CreateSession takes no shortcuts, ListShortcuts lists what the
session bound, a session binds once (a second BindShortcuts answers 2), a
bind asks the settings' shortcut provider, which keeps the triggers it gave
an application, and ShortcutsChanged comes before the bind's answer; with
STAND_IN_PROVIDER_BROKEN set, the provider fails ("Method BindShortcuts is not
implemented on interface org.gnome.Settings.GlobalShortcutsProvider") and the
bind answers 2 with no shortcuts. STAND_IN_DESKTOP=kde: CreateSession binds
the shortcuts of its options under the application id and session token
(triggers kept across sessions, as kglobalaccel keeps them), BindShortcuts
only opens the settings page (logged "SettingsPage") and answers with what the
session holds, and Inhibit ignores the flags.
Shortcut ids listed in STAND_IN_REFUSE (comma separated) get no trigger; with
STAND_IN_SILENT set, a bind is never answered.
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
kde = os.environ.get("STAND_IN_DESKTOP", "gnome") == "kde"
provider_broken = bool(os.environ.get("STAND_IN_PROVIDER_BROKEN"))
unanswered = []
# Triggers the desktop keeps per component (KDE: app id + session token;
# GNOME: app id), across sessions of this back end.
kept = {}


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
    def __init__(self, bus, path, owner, component):
        super().__init__(bus, path)
        self.owner = owner
        self.path = path
        self.component = component
        self.shortcuts = {}  # id -> description, in bind order
        self.bound = False

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

    def described(self, session):
        triggers = kept.setdefault(session.component, {})
        return dbus.Array([dbus.Struct((sid, {"description": desc,
                                              "trigger_description": describe(triggers.get(sid, ""))}),
                                       signature="sa{sv}")
                           for sid, desc in session.shortcuts.items()], signature="(sa{sv})")

    def take(self, session, shortcuts):
        """Takes the shortcuts into the session: a trigger kept before stays."""
        triggers = kept.setdefault(session.component, {})
        session.shortcuts = {}
        for sid, props in shortcuts:
            note("Shortcut %s|%s|%s" % (sid, props.get("description", ""), props.get("preferred_trigger", "")))
            session.shortcuts[str(sid)] = str(props.get("description", ""))
            if str(sid) in refused:
                triggers[str(sid)] = ""
            elif str(sid) not in triggers:
                triggers[str(sid)] = str(props.get("preferred_trigger", ""))

    @dbus.service.method(SHORTCUTS, in_signature="oosa{sv}", out_signature="ua{sv}")
    def CreateSession(self, handle, session_handle, app_id, options):
        token = str(session_handle).rsplit("/", 1)[-1]
        note("CreateSession %s app_id=%s" % (session_handle, app_id))
        session = Session(self.bus, session_handle, self, str(app_id) + token if kde else str(app_id))
        self.sessions[str(session_handle)] = session
        if not kde:
            return dbus.UInt32(0), {"session_id": str(session_handle)}
        if "shortcuts" in options:
            self.take(session, options["shortcuts"])
            session.bound = True
        return dbus.UInt32(0), {"shortcuts": self.described(session)}

    @dbus.service.method(SHORTCUTS, in_signature="ooa(sa{sv})sa{sv}", out_signature="ua{sv}",
                         async_callbacks=("reply", "error"))
    def BindShortcuts(self, handle, session_handle, shortcuts, parent_window, options, reply, error):
        session = self.sessions.get(str(session_handle))
        if session is None:
            reply(dbus.UInt32(2), {})
            return
        if kde:
            note("SettingsPage systemsettings://kcm_keys/" + session.component)
            reply(dbus.UInt32(0), {"shortcuts": self.described(session)})
            return
        if silent:
            note("BindShortcuts unanswered %s" % session_handle)
            unanswered.append((reply, error))
            return
        if session.bound:
            note("BindShortcuts again %s" % session_handle)
            reply(dbus.UInt32(2), {})
            return
        session.bound = True
        if provider_broken:
            note("BindShortcuts provider failed %s" % session_handle)
            reply(dbus.UInt32(2), {})
            return
        self.take(session, shortcuts)
        described = self.described(session)
        note("BindShortcuts %s %d" % (session_handle, sum(1 for s in described if s[1]["trigger_description"])))
        self.ShortcutsChanged(dbus.ObjectPath(session_handle), described)
        reply(dbus.UInt32(0), {"shortcuts": described})

    @dbus.service.method(SHORTCUTS, in_signature="oo", out_signature="ua{sv}")
    def ListShortcuts(self, handle, session_handle):
        session = self.sessions.get(str(session_handle))
        if session is None:
            return dbus.UInt32(2), {}
        note("ListShortcuts %s %d" % (session_handle, len(session.shortcuts)))
        return dbus.UInt32(0), {"shortcuts": self.described(session)}

    @dbus.service.signal(SHORTCUTS, signature="oa(sa{sv})")
    def ShortcutsChanged(self, session_handle, shortcuts):
        pass

    @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
    def Activated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
    def Deactivated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.method(INHIBIT, in_signature="ossua{sv}", out_signature="")
    def Inhibit(self, handle, app_id, window, flags, options):
        if kde:  # one kind of inhibition, whatever was asked
            flags = 0
        note("Inhibit %d %s %s" % (flags, options.get("reason", ""), handle))
        InhibitRequest(self.bus, handle, int(flags))

    @dbus.service.method(CONTROL, in_signature="s", out_signature="i")
    def Activate(self, shortcut_id):
        """Presses and lets go the shortcut in every session that bound it."""
        count = 0
        stamp = dbus.UInt64(int(time.monotonic() * 1000))
        for path, session in list(self.sessions.items()):
            if kept.get(session.component, {}).get(shortcut_id) and shortcut_id in session.shortcuts:
                self.Activated(dbus.ObjectPath(path), shortcut_id, stamp, {})
                self.Deactivated(dbus.ObjectPath(path), shortcut_id, stamp, {})
                count += 1
        note("Activate %s %d" % (shortcut_id, count))
        return count

    @dbus.service.method(CONTROL, in_signature="ss", out_signature="i")
    def SetTrigger(self, shortcut_id, trigger):
        """The user gives a shortcut another trigger in the desktop's settings."""
        count = 0
        for component, triggers in kept.items():
            if shortcut_id in triggers:
                triggers[shortcut_id] = str(trigger)
        for path, session in list(self.sessions.items()):
            if shortcut_id in session.shortcuts:
                self.ShortcutsChanged(dbus.ObjectPath(path), self.described(session))
                count += 1
        note("SetTrigger %s %s %d" % (shortcut_id, trigger, count))
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
