#include "Record/DodgeBurnStroke.h"

#include <algorithm>

#include "Record/JsonFields.h"

using namespace JsonFields;

DodgeBurnStroke DodgeBurnStroke::linear(const std::vector<double>& start,
                                        const std::vector<double>& end, double stops) {
  DodgeBurnStroke stroke;
  stroke.id = Uuid::random();
  stroke.points = {start, end};
  stroke.radius = 0;
  stroke.stops = stops;
  stroke.shape = DodgeShape::linear;
  return stroke;
}

DodgeBurnStroke DodgeBurnStroke::radial(const std::vector<double>& centre, double rx, double ry,
                                        double stops, double feather, bool invert) {
  DodgeBurnStroke stroke;
  stroke.id = Uuid::random();
  stroke.points = {centre};
  stroke.radius = std::max(rx, ry);
  stroke.stops = stops;
  stroke.feather = feather;
  stroke.shape = DodgeShape::radial;
  stroke.rx = rx;
  stroke.ry = ry;
  stroke.invert = invert;
  return stroke;
}

nlohmann::json toJson(const DodgeBurnStroke& stroke) {
  Json json = {{"id", stroke.id.toString()},
               {"points", points(stroke.points, "points")},
               {"radius", number(stroke.radius, "radius")},
               {"stops", number(stroke.stops, "stops")},
               {"feather", number(stroke.feather, "feather")}};
  putOptional(json, "shape", stroke.shape);
  putOptional(json, "rx", stroke.rx);
  putOptional(json, "ry", stroke.ry);
  putOptional(json, "invert", stroke.invert);
  return json;
}

DodgeBurnStroke dodgeBurnStrokeFromJson(const nlohmann::json& json) {
  requireObject(json);
  DodgeBurnStroke stroke;
  stroke.id = idOrRandom(json);
  stroke.points = required(json, "points", asPoints);
  take(json, "radius", asDouble, stroke.radius);
  take(json, "stops", asDouble, stroke.stops);
  take(json, "feather", asDouble, stroke.feather);
  take(json, "shape", asEnum<DodgeShape>, stroke.shape);
  take(json, "rx", asDouble, stroke.rx);
  take(json, "ry", asDouble, stroke.ry);
  take(json, "invert", asBool, stroke.invert);
  return stroke;
}
