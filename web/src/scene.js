// The 3-D views, drawn with three.js. Like pbsim's viewer: an orthographic
// view looking down the -z axis with scene coordinates -1..1 across at the
// start (its box of 20 view units at zoom 10), a black background, and the
// scene painted in drawing order without depth testing, so the last scheme
// drawn shows where trajectories coincide. Users turn it by dragging,
// zoom with the wheel or a pinch, pan with the right button, two fingers or
// shift+arrows, and put it back with Reset or the 0 key.
import * as THREE from 'three';
import { OrbitControls } from 'three/examples/jsm/controls/OrbitControls.js';

// Whether this browser can draw WebGL at all.
export function webglAvailable() {
  try {
    const canvas = document.createElement('canvas');
    const gl = window.WebGLRenderingContext && (canvas.getContext('webgl2') || canvas.getContext('webgl'));
    gl?.getExtension('WEBGL_lose_context')?.loseContext();
    return !!gl;
  } catch {
    return false;
  }
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
    this.renderer = new THREE.WebGLRenderer({ antialias: true, preserveDrawingBuffer: true });
    this.renderer.setPixelRatio(Math.min(window.devicePixelRatio || 1, 2));
    this.renderer.setClearColor(0x000000, 1);
    const canvas = this.renderer.domElement;
    canvas.tabIndex = 0;
    canvas.setAttribute('role', 'img');
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
    this.reset();
    this.resizeObserver = new ResizeObserver(() => this.resize());
    this.resizeObserver.observe(container);
    this.resize();
  }

  reset() {
    this.camera.position.set(0, 0, kDistance);
    this.camera.up.set(0, 1, 0);
    this.camera.zoom = 1;
    this.controls.target.set(0, 0, 0);
    this.camera.lookAt(0, 0, 0);
    this.camera.updateProjectionMatrix();
    this.controls.update();
    this.render();
  }

  resize() {
    const w = Math.max(1, this.container.clientWidth);
    const h = Math.max(1, this.container.clientHeight);
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

  render() {
    if (this.renderer) this.renderer.render(this.scene, this.camera);
  }

  add(object, order) {
    object.renderOrder = order;
    this.scene.add(object);
    return object;
  }

  remove(object) {
    if (!object) return;
    this.scene.remove(object);
    object.geometry?.dispose();
    object.material?.dispose();
  }

}

// At most `most` points of a run, evenly spread, the first and last kept.
export function stride(n, most) {
  return n <= most ? 1 : Math.ceil((n - 1) / (most - 1));
}

function linePositions(x, y, z, most = 20000) {
  const n = x.length;
  const s = stride(n, most);
  const out = [];
  for (let k = 0; k < n; k += s) out.push(x[k], y[k], z[k]);
  if ((n - 1) % s !== 0) out.push(x[n - 1], y[n - 1], z[n - 1]);
  return new Float32Array(out);
}

function lineObject(positions, material) {
  const geometry = new THREE.BufferGeometry();
  geometry.setAttribute('position', new THREE.BufferAttribute(positions, 3));
  const line = new THREE.Line(geometry, material);
  line.frustumCulled = false;
  return line;
}

export class BallisticsView extends View {
  constructor(container) {
    super(container, 'Ballistics: the trajectories in 3-D');
    // Ground: a grey square of side 20 under the gun, just below y = 0.
    const ground = new THREE.Mesh(new THREE.PlaneGeometry(20, 20), flat(new THREE.Color(0.7, 0.7, 0.7)).material);
    ground.rotation.x = -Math.PI / 2;
    ground.position.y = -0.001;
    this.add(ground, 0);
    const sphere = new THREE.SphereGeometry(0.1, 10, 10);
    this.add(new THREE.Mesh(sphere, flat(new THREE.Color(0.7, 0.7, 0.0)).material), 1); // the gun
    this.target = this.add(new THREE.Mesh(sphere, flat(new THREE.Color(0.0, 0.7, 0.7)).material), 2);
    this.lines = [];
  }

  // runs: [{x, y, z, colour}], drawn in order; exact: {x, y, z} or null.
  show(runs, exact, target) {
    for (const line of this.lines) this.remove(line);
    this.lines = [];
    this.target.position.set(target[0], target[1], target[2]);
    // The exact flight first, dashed, so that the schemes' colours stay on top.
    let order = 10;
    if (exact && exact.x.length > 1) {
      const material = new THREE.LineDashedMaterial({ color: 0xffffff, dashSize: 0.08, gapSize: 0.06 });
      material.depthTest = false;
      const line = lineObject(linePositions(exact.x, exact.y, exact.z), material);
      line.computeLineDistances();
      this.lines.push(this.add(line, order++));
    }
    for (const run of runs) {
      const material = new THREE.LineBasicMaterial({ color: colourOf(run.colour) });
      material.depthTest = false;
      this.lines.push(this.add(lineObject(linePositions(run.x, run.y, run.z), material), order++));
    }
    this.render();
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
