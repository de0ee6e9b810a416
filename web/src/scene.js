// The view's 3D picture: a ground grid, the axes and a few simple solids,
// seen through a camera that orbits the scene's middle at the heading and
// pitch of the host's view, in perspective or in parallel projection.
import * as THREE from 'three';

// The camera looks at a point above the ground, so that a small upward
// drag from a level view does not take it under the grid.
const TARGET = new THREE.Vector3(0, 2, 0);
const DISTANCE = 14;
const FOV = 40; // vertical, degrees

function solids() {
  const group = new THREE.Group();
  // Lambert's shader compiles faster than a physically based one (drawn in
  // software, 45 ms against 60 to 90), and these matte solids look the same.
  const material = (color) => new THREE.MeshLambertMaterial({ color });
  const add = (geometry, color, x, y, z) => {
    const mesh = new THREE.Mesh(geometry, material(color));
    mesh.position.set(x, y, z);
    group.add(mesh);
  };
  add(new THREE.BoxGeometry(2, 2, 2), 0xd9843b, -2.6, 1, -1.2);
  add(new THREE.SphereGeometry(1.1, 48, 24), 0x4f86c6, 2.4, 1.1, -1.6);
  add(new THREE.CylinderGeometry(0.8, 0.8, 2.4, 40), 0x5aa469, 0.2, 1.2, 2.2);
  add(new THREE.ConeGeometry(0.9, 2.2, 40), 0xc8553d, 3.2, 1.1, 2.4);
  add(new THREE.TorusGeometry(0.8, 0.28, 20, 48), 0xe0b83e, -3.2, 0.28, 2.6);
  group.children.at(-1).rotation.x = Math.PI / 2;
  return group;
}

export class Viewport {
  // Throws when the browser has no WebGL.
  constructor(canvas) {
    // No multisampling: where the browser draws in software it costs more than
    // the rest of a frame (on 2 cores about 25 ms a frame against 7), and
    // makes the first frame later by as much again.
    this.renderer = new THREE.WebGLRenderer({ canvas, antialias: false });
    this.scene = new THREE.Scene();
    this.scene.background = new THREE.Color(0x3b4048);
    this.scene.add(new THREE.HemisphereLight(0xffffff, 0x444450, 1.6));
    const sun = new THREE.DirectionalLight(0xffffff, 2.2);
    sun.position.set(5, 9, 7);
    this.scene.add(sun);
    this.scene.add(new THREE.GridHelper(40, 40, 0x9aa0a8, 0x5a6068));
    this.scene.fog = new THREE.Fog(0x3b4048, 20, 48);
    const axes = new THREE.AxesHelper(4); // x red, y green, z blue
    axes.position.y = 0.005; // above the grid's lines
    this.scene.add(axes);
    this.scene.add(solids());
    this.perspective = new THREE.PerspectiveCamera(FOV, 1, 0.1, 200);
    this.parallel = new THREE.OrthographicCamera(-1, 1, 1, -1, -100, 200);
    this.camera = this.perspective;
    // The shaders compile while the page waits for the module, so that the
    // first frame mostly draws.
    this.renderer.compile(this.scene, this.perspective);
  }

  // Heading turns the camera about the vertical axis, pitch tilts it, so that
  // the scene turns with the pointer: at 0, 0 the camera looks at the front;
  // a larger heading brings the scene's left side round to face it, a larger
  // pitch lifts it to look down, and at 90 it looks straight down. Neither
  // angle is wrapped or limited here.
  render(heading, pitch, parallel) {
    const canvas = this.renderer.domElement;
    const width = Math.max(1, canvas.clientWidth);
    const height = Math.max(1, canvas.clientHeight);
    const ratio = window.devicePixelRatio;
    if (
      canvas.width !== Math.round(width * ratio) ||
      canvas.height !== Math.round(height * ratio)
    ) {
      this.renderer.setPixelRatio(ratio);
      this.renderer.setSize(width, height, false);
    }
    const aspect = width / height;
    const turn = new THREE.Quaternion().setFromEuler(
      new THREE.Euler(
        THREE.MathUtils.degToRad(-pitch),
        THREE.MathUtils.degToRad(-heading),
        0,
        'YXZ',
      ),
    );
    this.camera = parallel ? this.parallel : this.perspective;
    this.camera.quaternion.copy(turn);
    this.camera.position.set(0, 0, DISTANCE).applyQuaternion(turn).add(TARGET);
    if (parallel) {
      // As large as the perspective view shows the scene's middle.
      const half = DISTANCE * Math.tan(THREE.MathUtils.degToRad(FOV / 2));
      Object.assign(this.parallel, {
        left: -half * aspect,
        right: half * aspect,
        top: half,
        bottom: -half,
      });
    } else {
      this.perspective.aspect = aspect;
    }
    this.camera.updateProjectionMatrix();
    this.renderer.render(this.scene, this.camera);
  }
}
