#!/usr/bin/env python3
"""Desktop services that froze: they keep their names on the session bus and
take every call without ever answering it. Owns org.freedesktop.ScreenSaver,
org.freedesktop.portal.Desktop and org.freedesktop.Notifications; writes
"ready" and then one line per call ("call <interface>.<member>") to the file
named by FROZEN_LOG.
"""
import os
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAMES = ("org.freedesktop.ScreenSaver", "org.freedesktop.portal.Desktop", "org.freedesktop.Notifications")
log_path = os.environ["FROZEN_LOG"]


def note(line):
    with open(log_path, "a", encoding="utf-8") as f:
        f.write(line + "\n")


def swallow(bus, message):
    if message.get_type() != 1 or message.get_interface() == "org.freedesktop.DBus":  # method calls only
        return dbus.lowlevel.HANDLER_RESULT_NOT_YET_HANDLED
    note("call %s.%s" % (message.get_interface(), message.get_member()))
    return dbus.lowlevel.HANDLER_RESULT_HANDLED  # and never a reply


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    names = [dbus.service.BusName(n, bus, do_not_queue=True) for n in NAMES]
    bus.add_message_filter(swallow)
    note("ready")
    GLib.MainLoop().run()
    del names


if __name__ == "__main__":
    sys.exit(main())
