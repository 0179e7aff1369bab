// Hushpad's layer in GNOME Shell: shared by the builds for GNOME 43-44
// (legacy imports) and 45 and later (ES modules), which wrap it with their
// own imports and entry point (see build.sh). It shows the item, holds the
// input when the program asks, draws the unlock mark where the program says,
// and reports facts: releases with their positions, the monitors, the item's
// frame, its own state. The program decides everything else.
// Interface: src/platform/linux/gnome/shell_link.h.

const INTERFACE_VERSION = 1;
const PROGRAM_NAME = 'app.hushpad.Hushpad';
const PROGRAM_PATH = '/app/hushpad/Hushpad';
const PROGRAM_INTERFACE = 'app.hushpad.Hushpad.Program1';
const EXTENSION_PATH = '/app/hushpad/Hushpad/Extension';
const EXTENSION_XML = `<node>
  <interface name="app.hushpad.Hushpad.Extension1">
    <method name="GetVersion"><arg name="version" type="u" direction="out"/></method>
    <method name="SetItem">
      <arg name="icon" type="ay" direction="in"/>
      <arg name="toolTip" type="s" direction="in"/>
      <arg name="label" type="s" direction="in"/>
    </method>
    <method name="OpenMenu"><arg name="entries" type="a(sbb)" direction="in"/></method>
    <method name="Lock">
      <arg name="held" type="b" direction="out"/>
      <arg name="x" type="d" direction="out"/>
      <arg name="y" type="d" direction="out"/>
    </method>
    <method name="Unlock"/>
    <method name="ShowMark">
      <arg name="frame" type="(dddd)" direction="in"/>
      <arg name="icon" type="ay" direction="in"/>
    </method>
    <method name="HideMark"/>
  </interface>
</node>`;
// While it holds the input it asks the program every second; with no answer
// for this long it lets go by itself.
const PING_INTERVAL_MS = 1000;
const PING_TIMEOUT_MS = 4000;
const WATCHDOG_LIMIT_US = 5 * 1000 * 1000;

function frameOf(actor) {
    const [x, y] = actor.get_transformed_position();
    const [width, height] = actor.get_transformed_size();
    return [x, y, width, height];
}

function pointer() {
    const [x, y] = global.get_pointer();
    return [x, y];
}

function monitorFrames() {
    const layout = Main.layoutManager;
    const frames = [];
    const primary = layout.primaryMonitor;
    if (primary)
        frames.push([primary.x, primary.y, primary.width, primary.height]);
    for (const monitor of layout.monitors) {
        if (monitor !== primary)
            frames.push([monitor.x, monitor.y, monitor.width, monitor.height]);
    }
    return frames;
}

function iconFrom(bytes) {
    return bytes.length > 0 ? Gio.BytesIcon.new(new GLib.Bytes(bytes)) : null;
}

var HushpadShellLayer = class HushpadShellLayer {
    enable() {
        this._programOwner = null;
        this._cover = null;
        this._grab = null;
        this._mark = null;
        this._menu = null;
        this._pingSource = 0;
        this._frameSource = 0;
        this._lastAnswer = 0;

        this._button = new PanelMenu.Button(0.0, 'Hushpad', true);
        this._icon = new St.Icon({style_class: 'system-status-icon'});
        this._button.add_child(this._icon);
        this._toolTip = new St.Label({style_class: 'dash-label', visible: false});
        Main.uiGroup.add_child(this._toolTip);
        this._button.connect('button-release-event', (_actor, event) => {
            const [x, y] = event.get_coords();
            this._sendFrame();
            this._call('ItemReleased', new GLib.Variant('(udd)', [event.get_button(), x, y]));
            return Clutter.EVENT_STOP;
        });
        this._button.connect('notify::hover', () => this._showToolTip(this._button.hover));
        this._button.connect('notify::allocation', () => this._queueFrame());
        Main.panel.addToStatusArea('hushpad', this._button);
        this._menuManager = new PopupMenu.PopupMenuManager(this._button);
        this._monitorsId = Main.layoutManager.connect('monitors-changed', () => {
            this._fitCover();
            this._call('Monitors', new GLib.Variant('(a(dddd))', [monitorFrames()]));
        });

        this._exported = Gio.DBusExportedObject.wrapJSObject(EXTENSION_XML, this._handlers());
        this._exported.export(Gio.DBus.session, EXTENSION_PATH);
        this._watch = Gio.bus_watch_name(Gio.BusType.SESSION, PROGRAM_NAME,
            Gio.BusNameWatcherFlags.NONE,
            (_connection, _name, owner) => {
                this._programOwner = owner;
                this._hello();
            },
            () => {
                // The program is gone: nothing it held stays held.
                this._programOwner = null;
                this._letGoByItself();
            });
    }

    // The Shell disables its extensions for its unlock dialog: the program
    // is told so, and that it may ask again once the extension is back.
    disable() {
        const reason = Main.sessionMode.isLocked ? 'screen-shield' : 'disabled';
        this._unlock();
        this._hideMark();
        this._call('LetGo', new GLib.Variant('(s)', [reason]));
        Gio.bus_unwatch_name(this._watch);
        this._exported.unexport();
        this._exported = null;
        Main.layoutManager.disconnect(this._monitorsId);
        if (this._frameSource !== 0)
            GLib.source_remove(this._frameSource);
        this._frameSource = 0;
        if (this._menu)
            this._menu.destroy();
        this._menu = null;
        this._button.destroy();
        this._button = null;
        this._toolTip.destroy();
        this._toolTip = null;
        this._programOwner = null;
    }

    // Each method answers only the connection that owns the program's name.
    _handlers() {
        const guard = (invocation, act) => {
            if (this._programOwner === null || invocation.get_sender() !== this._programOwner) {
                invocation.return_dbus_error('org.freedesktop.DBus.Error.AccessDenied',
                    'only Hushpad may call its extension');
                return;
            }
            invocation.return_value(act() ?? null);
        };
        return {
            GetVersionAsync: (_params, invocation) =>
                guard(invocation, () => new GLib.Variant('(u)', [INTERFACE_VERSION])),
            SetItemAsync: ([icon, toolTip, label], invocation) => guard(invocation, () => {
                this._icon.gicon = iconFrom(icon);
                this._toolTip.text = toolTip;
                this._button.accessible_name = label;
                this._button.show();
            }),
            OpenMenuAsync: ([entries], invocation) => guard(invocation, () => this._openMenu(entries)),
            LockAsync: (_params, invocation) => guard(invocation, () => {
                const held = this._lock();
                const [x, y] = pointer();
                return new GLib.Variant('(bdd)', [held, x, y]);
            }),
            UnlockAsync: (_params, invocation) => guard(invocation, () => this._unlock()),
            ShowMarkAsync: ([frame, icon], invocation) =>
                guard(invocation, () => this._showMark(frame, icon)),
            HideMarkAsync: (_params, invocation) => guard(invocation, () => this._hideMark()),
        };
    }

    _call(method, parameters, done) {
        if (this._programOwner === null)
            return;
        Gio.DBus.session.call(this._programOwner, PROGRAM_PATH, PROGRAM_INTERFACE, method,
            parameters, null, Gio.DBusCallFlags.NONE,
            method === 'Ping' ? PING_TIMEOUT_MS : -1, null, (connection, result) => {
                try {
                    connection.call_finish(result);
                    if (done)
                        done();
                } catch (e) {
                    if (method !== 'Ping')
                        log(`Hushpad: ${method}: ${e.message}`);
                }
            });
    }

    _hello() {
        this._call('Hello', new GLib.Variant('(ua(dddd)(dddd))',
            [INTERFACE_VERSION, monitorFrames(), frameOf(this._button)]));
    }

    _queueFrame() {
        if (this._frameSource !== 0)
            return;
        this._frameSource = GLib.idle_add(GLib.PRIORITY_DEFAULT_IDLE, () => {
            this._frameSource = 0;
            this._sendFrame();
            return GLib.SOURCE_REMOVE;
        });
    }

    _sendFrame() {
        if (this._button)
            this._call('ItemFrame', new GLib.Variant('((dddd))', [frameOf(this._button)]));
    }

    _showToolTip(shown) {
        if (!this._toolTip)
            return;
        if (!shown || this._toolTip.text === '' || this._grab) {
            this._toolTip.hide();
            return;
        }
        const [x, y, width, height] = frameOf(this._button);
        this._toolTip.show();
        const [labelWidth] = this._toolTip.get_size();
        this._toolTip.set_position(Math.round(x + width / 2 - labelWidth / 2),
            Math.round(y + height));
    }

    // Each entry: its title (empty for a separator), whether it has a
    // checkmark's place, and whether it is checked.
    _openMenu(entries) {
        if (this._menu)
            this._menu.destroy();
        const menu = new PopupMenu.PopupMenu(this._button, 0.5, St.Side.TOP);
        entries.forEach(([title, checkable, checked], index) => {
            if (title === '') {
                menu.addMenuItem(new PopupMenu.PopupSeparatorMenuItem());
                return;
            }
            const item = new PopupMenu.PopupMenuItem(title);
            if (checkable)
                item.setOrnament(checked ? PopupMenu.Ornament.CHECK : PopupMenu.Ornament.NONE);
            item.connect('activate', () => {
                const [x, y] = pointer();
                this._call('MenuActivated', new GLib.Variant('(udd)', [index, x, y]));
            });
            menu.addMenuItem(item);
        });
        Main.uiGroup.add_child(menu.actor);
        menu.actor.hide();
        this._menuManager.addMenu(menu);
        this._menu = menu;
        menu.open(true);
    }

    _fitCover() {
        if (this._cover)
            this._cover.set_size(global.stage.width, global.stage.height);
    }

    // One transparent actor over the whole stage (every monitor) holds the
    // pointer and the keyboard, with every Shell key binding off.
    _lock() {
        if (this._grab)
            return true;
        if (this._menu)
            this._menu.close(false);
        this._toolTip.hide();
        const cover = new St.Widget({reactive: true, can_focus: true, x: 0, y: 0});
        Main.uiGroup.add_child(cover);
        this._cover = cover;
        this._fitCover();
        cover.connect('event', (_actor, event) => this._coverEvent(event));
        const grab = Main.pushModal(cover, {actionMode: Shell.ActionMode.NONE});
        const wanted = Clutter.GrabState.POINTER | Clutter.GrabState.KEYBOARD;
        if ((grab.get_seat_state() & wanted) !== wanted) {
            Main.popModal(grab);
            cover.destroy();
            this._cover = null;
            return false;
        }
        this._grab = grab;
        this._lastAnswer = GLib.get_monotonic_time();
        this._pingSource = GLib.timeout_add(GLib.PRIORITY_DEFAULT, PING_INTERVAL_MS, () => {
            this._ping();
            return GLib.SOURCE_CONTINUE;
        });
        return true;
    }

    // Releases are reported with where they happened; nothing else goes on.
    // Crossing events pass: the stage needs them to track the pointer.
    _coverEvent(event) {
        switch (event.type()) {
        case Clutter.EventType.ENTER:
        case Clutter.EventType.LEAVE:
            return Clutter.EVENT_PROPAGATE;
        case Clutter.EventType.BUTTON_RELEASE: {
            const [x, y] = event.get_coords();
            this._call('CoverReleased', new GLib.Variant('(udd)', [event.get_button(), x, y]));
            return Clutter.EVENT_STOP;
        }
        default:
            return Clutter.EVENT_STOP;
        }
    }

    _ping() {
        if (GLib.get_monotonic_time() - this._lastAnswer > WATCHDOG_LIMIT_US) {
            this._letGoByItself();
            this._call('LetGo', new GLib.Variant('(s)', ['watchdog']));
            return;
        }
        this._call('Ping', null, () => {
            this._lastAnswer = GLib.get_monotonic_time();
        });
    }

    // Let go without being asked (the program gone or not answering): the
    // item, which showed what the program last said, goes too until the
    // program sets it again, so that no "locked" stays over free input.
    _letGoByItself() {
        this._unlock();
        this._hideMark();
        if (this._button)
            this._button.hide();
    }

    _unlock() {
        if (this._pingSource !== 0)
            GLib.source_remove(this._pingSource);
        this._pingSource = 0;
        if (this._grab)
            Main.popModal(this._grab);
        this._grab = null;
        if (this._mark)
            this._mark.get_parent()?.remove_child(this._mark);
        if (this._cover)
            this._cover.destroy();
        this._cover = null;
    }

    // At the frame the program gave, in stage pixels, on the cover.
    _showMark([x, y, width, height], icon) {
        if (!this._mark)
            this._mark = new St.Icon({reactive: false});
        this._mark.gicon = iconFrom(icon);
        this._mark.icon_size = Math.round(width);
        this._mark.set_position(x, y);
        this._mark.set_size(width, height);
        if (this._cover && this._mark.get_parent() !== this._cover)
            this._cover.add_child(this._mark);
    }

    _hideMark() {
        if (!this._mark)
            return;
        this._mark.destroy();
        this._mark = null;
    }
};
