#ifndef V2RESOURCES_H
#define V2RESOURCES_H

// Registers the program's compiled images (paths beginning ":/Resource/").
// Resources in a static library are dropped by the linker unless something
// references their initialiser, so the program and every test that shows a
// window call this once at start-up; later calls do nothing.
void v2InitResources();

#endif // V2RESOURCES_H
