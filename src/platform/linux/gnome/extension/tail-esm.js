
export default class HushpadExtension extends Extension {
    enable() {
        this._layer = new HushpadShellLayer();
        this._layer.enable();
    }

    disable() {
        this._layer.disable();
        this._layer = null;
    }
}
