// The 3-D views, drawn with three.js. Like pbsim's viewer: an orthographic
// view (the spring's looking down the -z axis with scene coordinates -1..1
// across at the start, its box of 20 view units at zoom 10; the flights'
// from an oblique side, framed on them, with axes), a black background, and the
// scene painted in drawing order without depth testing, so the last scheme
// drawn shows where trajectories coincide. Users turn it by dragging,
// zoom with the wheel or a pinch, pan with the right button, two fingers or
// shift+arrows, and put it back with Reset or the 0 key.
import * as THREE from 'three';
import { OrbitControls } from 'three/examples/jsm/controls/OrbitControls.js';

// A canvas with a WebGL 2 context (what three.js draws with), or an error
// when this browser cannot draw WebGL: asked for once, so that the view's
// renderer takes this context and no other is made. Without multisampling,
// as pbsim's viewer draws: a multisampled buffer costs a software renderer
// (a machine without a graphics card) tens of milliseconds at every resize
// and more at every picture.
function webglCanvas() {
  const canvas = document.createElement('canvas');
  let context = null;
  try {
    context = canvas.getContext('webgl2', { antialias: false, preserveDrawingBuffer: true, alpha: true, depth: true, stencil: false, premultipliedAlpha: true });
  } catch {
    context = null;
  }
  if (!context) throw new Error('this browser cannot draw WebGL');
  return { canvas, context };
}

const kStartHalfWidth = 1; // scene units from the centre to the view's edge at the start
const kDistance = 100;

function colourOf(rgb) {
  return new THREE.Color(rgb[0], rgb[1], rgb[2]);
}

function flat(colour, order) {
  const m = new THREE.MeshBasicMaterial({ color: colour, side: THREE.DoubleSide });
  m.depthTest = false;
  m.depthWrite = false;
  return { material: m, order };
}

class View {
  constructor(container, label) {
    this.container = container;
    const { canvas: glCanvas, context } = webglCanvas();
    this.renderer = new THREE.WebGLRenderer({ canvas: glCanvas, context, antialias: false, preserveDrawingBuffer: true });
    this.renderer.setPixelRatio(Math.min(window.devicePixelRatio || 1, 2));
    this.renderer.setClearColor(0x000000, 1);
    const canvas = this.renderer.domElement;
    canvas.tabIndex = 0;
    canvas.setAttribute('role', 'img');
    // Described by the page's words and numbers of the view (alternative.js).
    if (container.id) canvas.setAttribute('aria-describedby', `${container.id}-words`);
    canvas.setAttribute('aria-label', `${label}. Drag to turn, wheel or pinch to zoom, right-drag to pan; arrows turn, shift+arrows pan, + and - zoom, 0 resets.`);
    container.appendChild(canvas);

    this.scene = new THREE.Scene();
    this.camera = new THREE.OrthographicCamera(-1, 1, 1, -1, -100000, 100000);
    this.controls = new OrbitControls(this.camera, canvas);
    this.controls.enableDamping = false;
    this.controls.zoomToCursor = false;
    this.controls.minZoom = 0.001;
    this.controls.maxZoom = 1000;
    this.controls.addEventListener('change', () => this.render());
    canvas.addEventListener('keydown', (e) => this.key(e));
    this.size = null;
    // Drawn once the scene is complete (warmUp()).
    this.quiet = true;
    this.reset();
    this.resize();
    this.quiet = false;
    this.resizeObserver = new ResizeObserver(() => this.resize());
    this.resizeObserver.observe(container);
  }

  // Where the view starts (and Reset brings it back): pbsim's view down -z,
  // or a view's own home ({target, direction, zoom}).
  home() {
    return { target: new THREE.Vector3(0, 0, 0), direction: new THREE.Vector3(0, 0, 1), zoom: 1 };
  }

  reset() {
    const { target, direction, zoom } = this.home();
    this.camera.position.copy(target).addScaledVector(direction, kDistance);
    this.camera.up.set(0, 1, 0);
    this.camera.zoom = zoom;
    this.controls.target.copy(target);
    this.camera.lookAt(target);
    this.camera.updateProjectionMatrix();
    this.controls.update();
    this.render();
  }

  resize() {
    const w = Math.max(1, this.container.clientWidth);
    const h = Math.max(1, this.container.clientHeight);
    // A canvas given its own size again would be cleared and drawn anew.
    if (this.size && this.size[0] === w && this.size[1] === h) return;
    this.size = [w, h];
    this.renderer.setSize(w, h, true);
    // The shorter side spans -1..1 as pbsim's square view does.
    const a = w / h;
    const half = kStartHalfWidth;
    this.camera.left = -half * Math.max(a, 1);
    this.camera.right = half * Math.max(a, 1);
    this.camera.top = half / Math.min(a, 1);
    this.camera.bottom = -half / Math.min(a, 1);
    this.camera.updateProjectionMatrix();
    this.render();
  }

  // Turns the camera about the target: `left` about the vertical axis, `up`
  // about the view's horizontal axis (radians).
  turn(left, up) {
    const offset = this.camera.position.clone().sub(this.controls.target);
    const spherical = new THREE.Spherical().setFromVector3(offset);
    spherical.theta -= left;
    spherical.phi = Math.min(Math.PI - 1e-3, Math.max(1e-3, spherical.phi - up));
    offset.setFromSpherical(spherical);
    this.camera.position.copy(this.controls.target).add(offset);
    this.camera.lookAt(this.controls.target);
    this.controls.update();
  }

  pan(dx, dy) {
    const width = (this.camera.right - this.camera.left) / this.camera.zoom;
    const right = new THREE.Vector3().setFromMatrixColumn(this.camera.matrix, 0);
    const up = new THREE.Vector3().setFromMatrixColumn(this.camera.matrix, 1);
    const move = right.multiplyScalar(dx * width).add(up.multiplyScalar(dy * width));
    this.camera.position.add(move);
    this.controls.target.add(move);
    this.controls.update();
  }

  zoom(factor) {
    this.camera.zoom = Math.min(this.controls.maxZoom, Math.max(this.controls.minZoom, this.camera.zoom * factor));
    this.camera.updateProjectionMatrix();
    this.controls.update();
    this.render();
  }

  key(e) {
    const step = Math.PI / 36; // 5 degrees
    const keys = {
      ArrowLeft: () => (e.shiftKey ? this.pan(-0.05, 0) : this.turn(-step, 0)),
      ArrowRight: () => (e.shiftKey ? this.pan(0.05, 0) : this.turn(step, 0)),
      ArrowUp: () => (e.shiftKey ? this.pan(0, 0.05) : this.turn(0, step)),
      ArrowDown: () => (e.shiftKey ? this.pan(0, -0.05) : this.turn(0, -step)),
      '+': () => this.zoom(1.25),
      '=': () => this.zoom(1.25),
      '-': () => this.zoom(0.8),
      0: () => this.reset(),
      Home: () => this.reset(),
    };
    const action = keys[e.key];
    if (!action) return;
    e.preventDefault();
    action();
  }

  // The first drawing, of the scene without data, compiles every shader the
  // view uses (the lines' too: they are there, empty), while the page waits
  // for the engine; later pictures then draw at once.
  warmUp() {
    this.render();
  }

  render() {
    if (this.quiet) return;
    this.renderer.render(this.scene, this.camera);
  }

  add(object, order) {
    object.renderOrder = order;
    this.scene.add(object);
    return object;
  }
}

// At most `most` points of a run, evenly spread, the first and last kept.
export function stride(n, most) {
  return n <= most ? 1 : Math.ceil((n - 1) / (most - 1));
}

// A line whose points are replaced in place: the same material (so the same
// shader program) from picture to picture, and a buffer that grows only
// when a run has more points than it holds.
class Polyline {
  constructor(material, dashed = false) {
    this.dashed = dashed;
    this.capacity = 0;
    this.line = new THREE.Line(new THREE.BufferGeometry(), material);
    this.line.frustumCulled = false;
    this.line.visible = false;
  }

  // At most `most` of the points (x[k], y[k], z[k]), evenly spread, the
  // first and last kept.
  set(x, y, z, most = 20000) {
    const n = x.length;
    const s = stride(n, most);
    const count = n === 0 ? 0 : Math.floor((n - 1) / s) + 1 + ((n - 1) % s !== 0 ? 1 : 0);
    if (count > this.capacity) {
      this.capacity = Math.max(count, 2 * this.capacity, 512);
      this.line.geometry.dispose();
      const geometry = new THREE.BufferGeometry();
      geometry.setAttribute('position', new THREE.BufferAttribute(new Float32Array(3 * this.capacity), 3));
      if (this.dashed) geometry.setAttribute('lineDistance', new THREE.BufferAttribute(new Float32Array(this.capacity), 1));
      this.line.geometry = geometry;
    }
    const position = this.line.geometry.getAttribute('position');
    const p = position.array;
    let j = 0;
    const put = (k) => {
      p[j++] = x[k];
      p[j++] = y[k];
      p[j++] = z[k];
    };
    for (let k = 0; k < n; k += s) put(k);
    if (n > 0 && (n - 1) % s !== 0) put(n - 1);
    position.needsUpdate = true;
    position.clearUpdateRanges();
    position.addUpdateRange(0, 3 * count);
    if (this.dashed) {
      // The distance along the line, for the dashes.
      const d = this.line.geometry.getAttribute('lineDistance');
      let along = 0;
      for (let i = 0; i < count; i++) {
        if (i > 0) along += Math.hypot(p[3 * i] - p[3 * i - 3], p[3 * i + 1] - p[3 * i - 2], p[3 * i + 2] - p[3 * i - 1]);
        d.array[i] = along;
      }
      d.needsUpdate = true;
      d.clearUpdateRanges();
      d.addUpdateRange(0, count);
    }
    this.line.geometry.setDrawRange(0, count);
    this.line.visible = count > 1;
  }
}

// A label drawn on a sprite: the name of an axis at its end.
function axisLabel(text) {
  const canvas = document.createElement('canvas');
  canvas.width = canvas.height = 64;
  const ctx = canvas.getContext('2d');
  ctx.fillStyle = '#ddd';
  ctx.font = 'bold 44px sans-serif';
  ctx.textAlign = 'center';
  ctx.textBaseline = 'middle';
  ctx.fillText(text, 32, 32);
  const material = new THREE.SpriteMaterial({ map: new THREE.CanvasTexture(canvas), depthTest: false });
  return new THREE.Sprite(material);
}

// The oblique view the flights start in: from the side of the flight's
// plane, a little behind the gun and above the ground, turned 35° and
// raised 25°, so that the arc shows as an arc over the ground.
export function obliqueDirection(along) {
  const d = new THREE.Vector3(along.x, 0, along.z);
  if (d.lengthSq() < 1e-12) d.set(1, 0, 0);
  d.normalize();
  const side = new THREE.Vector3(-d.z, 0, d.x);
  if (side.z < 0) side.negate();
  const turn = (35 * Math.PI) / 180;
  const rise = (25 * Math.PI) / 180;
  const flat = side.multiplyScalar(Math.cos(turn)).addScaledVector(d, -Math.sin(turn));
  return flat.multiplyScalar(Math.cos(rise)).add(new THREE.Vector3(0, Math.sin(rise), 0)).normalize();
}

export class BallisticsView extends View {
  constructor(container) {
    super(container, 'Ballistics: the trajectories in 3-D, seen obliquely, with the x, y and z axes');
    this.framed = null; // the box of what the view starts on, once shown
    // Ground: a grey square of side 20 under the gun, just below y = 0.
    const ground = new THREE.Mesh(new THREE.PlaneGeometry(20, 20), flat(new THREE.Color(0.7, 0.7, 0.7)).material);
    ground.rotation.x = -Math.PI / 2;
    ground.position.y = -0.001;
    this.add(ground, 0);
    const sphere = new THREE.SphereGeometry(0.1, 10, 10);
    this.add(new THREE.Mesh(sphere, flat(new THREE.Color(0.7, 0.7, 0.0)).material), 1); // the gun
    this.target = this.add(new THREE.Mesh(sphere, flat(new THREE.Color(0.0, 0.7, 0.7)).material), 2);
    // The exact flight first, dashed, so that the schemes' colours stay on top.
    const dashed = new THREE.LineDashedMaterial({ color: 0xffffff, dashSize: 0.08, gapSize: 0.06 });
    dashed.depthTest = false;
    this.exact = new Polyline(dashed, true);
    this.add(this.exact.line, 10);
    this.runs = []; // one line per scheme shown, drawn in order
    this.addRun();
    this.exact.line.visible = this.runs[0].line.visible = true;
    // The axes from the gun, grey (the schemes have the colours), named at their ends.
    this.axes = new THREE.AxesHelper(1);
    this.axes.setColors(new THREE.Color(0.55, 0.55, 0.55), new THREE.Color(0.55, 0.55, 0.55), new THREE.Color(0.55, 0.55, 0.55));
    this.axes.material.depthTest = false;
    this.add(this.axes, 5);
    this.axisLabels = ['x', 'y', 'z'].map((name) => this.add(axisLabel(name), 6));
    this.scaleAxes(1);
    this.warmUp();
  }

  // Axes as long as the flight's largest extent.
  scaleAxes(length) {
    this.axes.scale.setScalar(length);
    const size = 0.08 * length;
    this.axisLabels.forEach((label, i) => {
      label.position.set(i === 0 ? 1.08 * length : 0, i === 1 ? 1.08 * length : 0, i === 2 ? 1.08 * length : 0);
      label.scale.set(size, size, 1);
    });
  }

  // The oblique view on the flights shown: centred on their box, zoomed to
  // show it whole.
  home() {
    const box = this.framed;
    if (!box) return { target: new THREE.Vector3(0, 0, 0), direction: obliqueDirection(new THREE.Vector3(1, 0, 0)), zoom: 1 };
    const size = box.getSize(new THREE.Vector3());
    const target = box.getCenter(new THREE.Vector3());
    const reach = Math.max(1e-6, 0.6 * size.length());
    return { target, direction: obliqueDirection(this.along || new THREE.Vector3(1, 0, 0)), zoom: kStartHalfWidth / reach };
  }

  // The box of the flights and the exact flight, and the way they go.
  frame(runs, exact) {
    const box = new THREE.Box3();
    box.expandByPoint(new THREE.Vector3(0, 0, 0));
    let along = null;
    for (const r of [...runs, ...(exact ? [exact] : [])]) {
      const n = r.x.length;
      for (let k = 0; k < n; k++) if (Number.isFinite(r.x[k]) && Number.isFinite(r.y[k]) && Number.isFinite(r.z[k])) box.expandByPoint(new THREE.Vector3(r.x[k], r.y[k], r.z[k]));
      if (!along && n > 1 && Number.isFinite(r.x[n - 1]) && Number.isFinite(r.z[n - 1])) along = new THREE.Vector3(r.x[n - 1] - r.x[0], 0, r.z[n - 1] - r.z[0]);
    }
    if (!Number.isFinite(box.max.length()) || box.isEmpty()) return;
    this.framed = box;
    this.along = along;
    const size = box.getSize(new THREE.Vector3());
    this.scaleAxes(0.5 * Math.max(size.x, size.y, size.z, 1e-6));
  }

  addRun() {
    const material = new THREE.LineBasicMaterial();
    material.depthTest = false;
    const line = new Polyline(material);
    this.add(line.line, 11 + this.runs.length);
    this.runs.push(line);
  }

  // runs: [{x, y, z, colour}], drawn in order; exact: {x, y, z} or null.
  show(runs, exact, target) {
    this.target.position.set(target[0], target[1], target[2]);
    if (exact && exact.x.length > 1) this.exact.set(exact.x, exact.y, exact.z);
    else this.exact.line.visible = false;
    while (this.runs.length < runs.length) this.addRun();
    this.runs.forEach((line, i) => {
      if (i >= runs.length) {
        line.line.visible = false;
        return;
      }
      line.line.material.color.copy(colourOf(runs[i].colour));
      line.set(runs[i].x, runs[i].y, runs[i].z);
    });
    // The first flights set where the view starts; later ones leave the
    // view where the user has it (Reset frames the flights shown then).
    const first = !this.framed;
    this.frame(runs, exact);
    if (first && this.framed) this.reset();
    else this.render();
  }
}

// The spring and the body as pbsim draws them: the anchor 0.5 above the
// origin, the spring a bar 0.2 wide down to the body, the body a block 0.4
// wide and 0.2 high hanging from the height; the exact body as an outline.
export class SpringView extends View {
  constructor(container) {
    super(container, 'Spring-mass: the spring and the body');
    this.anchor = new THREE.Group();
    this.anchor.position.y = 0.5;
    this.scene.add(this.anchor);
    const unit = new THREE.PlaneGeometry(1, 1);
    unit.translate(0, -0.5, 0); // hangs from its top edge
    this.spring = new THREE.Mesh(unit, flat(new THREE.Color(0.9, 0.1, 0.0)).material);
    this.spring.scale.x = 0.2;
    this.body = new THREE.Mesh(unit, flat(new THREE.Color(0.0, 0.1, 0.9)).material);
    this.body.scale.set(0.4, 0.2, 1);
    const outline = new THREE.EdgesGeometry(new THREE.PlaneGeometry(0.4, 0.2).translate(0, -0.1, 0));
    const dashed = new THREE.LineDashedMaterial({ color: 0xffffff, dashSize: 0.03, gapSize: 0.02 });
    dashed.depthTest = false;
    this.exact = new THREE.LineSegments(outline, dashed);
    this.exact.computeLineDistances();
    this.spring.renderOrder = 1;
    this.body.renderOrder = 2;
    this.exact.renderOrder = 3;
    this.anchor.add(this.spring, this.body, this.exact);
    this.warmUp();
  }

  // h: the body's height below the anchor (negative downwards); exact: the
  // closed form's height then, or NaN.
  show(h, exact) {
    const visible = Number.isFinite(h);
    this.spring.visible = this.body.visible = visible;
    if (visible) {
      // A bar from the anchor to h: height |h|, mirrored when h is above it.
      this.spring.scale.y = -h || 1e-6;
      this.body.position.y = h;
    }
    this.exact.visible = Number.isFinite(exact);
    if (this.exact.visible) this.exact.position.y = exact;
    this.render();
  }
}
