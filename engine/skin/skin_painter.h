#pragma once
// Drawing of skin forms and elements, and the slider geometry that drawing
// and mouse handling share. Logical pixels; dpr picks the 2x bitmaps.
// UI thread (QPainter on widgets and images).

#include "skin/skin_model.h"

class QPainter;

struct SliderGeometry {
    QRectF track;
    double x_min = 0.0; // thumb centre at position 0
    double x_max = 0.0; // thumb centre at position 1000
    double thumb_size = 0.0;

    double x_of(int position) const;
    QRectF thumb_rect(int position) const;
    int position_at(double x) const; // clamped to 0..1000
};

SliderGeometry slider_geometry(const SkinElementDef &element, const SkinStyle &style);

// Positions outside 0..1000 draw clamped (-1, "unknown", draws as 0).
int clamp_slider_position(int position);

void paint_form_background(QPainter &painter, const SkinFormDef &form, double dpr);
void paint_element(QPainter &painter, const SkinElementDef &element, SkinState state,
                   const QString &text, int position, double dpr);
// Drawn over everything else, so a neighbour never hides part of it.
void paint_focus_ring(QPainter &painter, const SkinElementDef &element, SkinState state);
// What a repaint of the element must cover, its focus ring included.
QRect element_paint_bounds(const SkinElementDef &element);
