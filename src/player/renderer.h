// Renderer: draws a Stage's display list into a Canvas. The movie is fitted
// to the canvas (the whole stage visible, aspect kept, centred) and the
// borders keep the background colour. Clip-depth masks become 8-bit masks
// that later siblings are painted through; clips with a blend mode are
// drawn into a layer first and composited back with it.
//
// The renderer owns its scratch buffers (rasterizer cells, masks, layers)
// and keeps them between frames; Release frees them and is safe to call twice.
#pragma once

#include "player/display.h"
#include "player/paint.h"
#include "player/raster.h"

#include <memory>
#include <vector>

// Stage twips to canvas pixels for a fitted stage; box receives the stage's pixels.
SwfMatrix FitStage(const SwfRect& frame, int width, int height, ClipBox* box);

class Renderer {
public:
    void Render(Stage& stage, const Canvas& canvas);
    void Release();

private:
    struct Target {
        const Canvas* canvas = nullptr;
        const Mask* mask = nullptr; // painted through, when set
        Mask* building = nullptr;   // drawing a mask: coverage goes here instead
        ClipBox clip;
        int layers = 0;
    };
    void DrawChildren(SpriteInstance* sprite, const SwfMatrix& m, const SwfColorTransform& cx, const Target& t);
    void DrawObject(DisplayObject* o, const SwfMatrix& m, const SwfColorTransform& cx, const Target& t);
    void DrawContent(DisplayObject* o, const SwfMatrix& m, const SwfColorTransform& cx, const Target& t);
    void DrawShape(const Shape& shape, const SwfMatrix& m, const SwfColorTransform& cx, const Target& t);
    void DrawRuns(const std::vector<TextRun>& runs, const Font* fieldFont, const SwfMatrix& m,
                  const SwfColorTransform& cx, const Target& t);
    void DrawEditText(EditTextInstance* e, const SwfMatrix& m, const SwfColorTransform& cx, const Target& t);
    void Sweep(bool nonZero, const Target& t);
    ClipBox Bounds(DisplayObject* o, const SwfMatrix& m, int level);
    Mask* AcquireMask();
    void ReleaseMask(Mask* mask);
    Canvas* AcquireLayer(const ClipBox& box);
    void ReleaseLayer(Canvas* layer);

    Movie* movie_ = nullptr;
    int width_ = 0, height_ = 0;
    float viewScale_ = 1;
    Rasterizer raster_;
    std::unique_ptr<Painter> painter_ = std::make_unique<Painter>();
    std::vector<std::unique_ptr<uint8_t[]>> maskMemory_;
    std::vector<std::unique_ptr<Mask>> masks_;
    std::vector<Mask*> freeMasks_;
    std::vector<std::unique_ptr<uint32_t[]>> layerMemory_;
    std::vector<std::unique_ptr<Canvas>> layers_;
    std::vector<Canvas*> freeLayers_;
};
