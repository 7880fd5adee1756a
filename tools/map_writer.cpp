#include "tools/map_writer.h"

#include <cstring>

namespace {

constexpr int kLumps = 15;

void PutBytes(std::vector<uint8_t>& out, const void* bytes, size_t size) {
  const uint8_t* from = static_cast<const uint8_t*>(bytes);
  out.insert(out.end(), from, from + size);
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

void Set32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = uint8_t(value >> (8 * i));
}

uint32_t Get32(const uint8_t* at) {
  return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

void Put16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(uint8_t(value));
  out.push_back(uint8_t(value >> 8));
}

void PutFloat(std::vector<uint8_t>& out, float value) {
  uint32_t bits;
  memcpy(&bits, &value, sizeof bits);
  Put32(out, bits);
}

std::vector<uint8_t> Texture(const MapTextureRecipe& texture) {
  std::vector<uint8_t> out(16, 0);
  memcpy(out.data(), texture.name.data(), texture.name.size() < 16 ? texture.name.size() : 16);
  Put32(out, texture.side);
  Put32(out, texture.side);
  if (!texture.embedded) {
    for (int level = 0; level < 4; ++level) Put32(out, 0);
    return out;
  }
  const uint32_t firstLevel = texture.smallestOnly ? 3 : 0;
  uint32_t offset = 40;
  for (uint32_t level = 0, side = texture.side; level < 4; ++level, side /= 2) {
    Put32(out, offset);
    if (level >= firstLevel) offset += side * side;
  }
  for (uint32_t level = 0, side = texture.side; level < 4; ++level, side /= 2) {
    if (level < firstLevel) continue;
    for (uint32_t i = 0; i < side * side; ++i) out.push_back(uint8_t(1 + (i + i / side) % 2));
  }
  Put16(out, 256);
  std::vector<uint8_t> palette(256 * 3, 0);
  const Rgb colours[] = {texture.first, texture.second};
  for (int i = 0; i < 2; ++i) {
    palette[3 + 3 * i] = colours[i].r;
    palette[4 + 3 * i] = colours[i].g;
    palette[5 + 3 * i] = colours[i].b;
  }
  PutBytes(out, palette.data(), palette.size());
  return out;
}

std::vector<uint8_t> TexturesLump(const std::vector<MapTextureRecipe>& textures) {
  std::vector<uint8_t> out;
  Put32(out, uint32_t(textures.size()));
  std::vector<uint8_t> bodies;
  std::vector<uint32_t> offsets;
  for (const MapTextureRecipe& texture : textures) {
    if (texture.sameAs < offsets.size()) {
      offsets.push_back(offsets[texture.sameAs]);
    } else {
      offsets.push_back(uint32_t(4 + 4 * textures.size() + bodies.size()));
      std::vector<uint8_t> body = Texture(texture);
      bodies.insert(bodies.end(), body.begin(), body.end());
    }
    Put32(out, offsets.back());
  }
  out.insert(out.end(), bodies.begin(), bodies.end());
  return out;
}

void PutModel(std::vector<uint8_t>& out, size_t firstFace, size_t faceCount) {
  for (int i = 0; i < 9; ++i) PutFloat(out, 0);  // mins, maxs, origin
  for (int i = 0; i < 5; ++i) Put32(out, 0);     // head nodes, vis leaves
  Put32(out, uint32_t(firstFace));
  Put32(out, uint32_t(faceCount));
}

}  // namespace

std::vector<uint8_t> WriteMap(const MapRecipe& recipe) {
  std::vector<uint8_t> lumps[kLumps];
  PutBytes(lumps[0], recipe.entities.c_str(), recipe.entities.size() + 1);
  lumps[2] = TexturesLump(recipe.textures);
  Put32(lumps[12], 0);  // edge 0 is never named: -0 would be the same edge
  uint32_t vertices = 0, surfedges = 0, edges = 1;
  for (size_t f = 0; f < recipe.faces.size(); ++f) {
    const MapFaceRecipe& face = recipe.faces[f];
    const float sign = face.back ? -1.0f : 1.0f;
    const MapVertex& n = face.normal;
    const MapVertex& p = face.points.empty() ? MapVertex{0, 0, 0} : face.points[0];
    for (float value :
         {sign * n.x, sign * n.y, sign * n.z, sign * (n.x * p.x + n.y * p.y + n.z * p.z)})
      PutFloat(lumps[1], value);
    Put32(lumps[1], 5);  // not along an axis
    for (float value : {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f}) PutFloat(lumps[6], value);
    Put32(lumps[6], uint32_t(face.texture));
    Put32(lumps[6], 0);

    Put16(lumps[7], uint16_t(f));
    Put16(lumps[7], face.back ? 1 : 0);
    Put32(lumps[7], surfedges);
    Put16(lumps[7], uint16_t(face.points.size()));
    Put16(lumps[7], uint16_t(f));
    Put32(lumps[7], 0xFFFFFF00u);  // light styles
    Put32(lumps[7], 0xFFFFFFFFu);  // no light map
    const size_t count = face.points.size();
    for (size_t i = 0; i < count; ++i) {
      PutFloat(lumps[3], face.points[i].x);
      PutFloat(lumps[3], face.points[i].y);
      PutFloat(lumps[3], face.points[i].z);
      const uint16_t from = uint16_t(vertices + i), to = uint16_t(vertices + (i + 1) % count);
      // Every other edge is stored the other way round and walked backwards.
      const bool backwards = i % 2 == 1;
      Put16(lumps[12], backwards ? to : from);
      Put16(lumps[12], backwards ? from : to);
      Put32(lumps[13], backwards ? uint32_t(-int32_t(edges)) : edges);
      ++edges;
      ++surfedges;
    }
    vertices += uint32_t(count);
  }
  const size_t world =
      recipe.worldFaces < recipe.faces.size() ? recipe.worldFaces : recipe.faces.size();
  PutModel(lumps[14], 0, world);
  if (world < recipe.faces.size()) PutModel(lumps[14], world, recipe.faces.size() - world);

  std::vector<uint8_t> out;
  Put32(out, uint32_t(recipe.version));
  out.resize(4 + 8 * kLumps);
  for (int i = 0; i < kLumps; ++i) {
    Set32(out.data() + 4 + 8 * i, uint32_t(out.size()));
    Set32(out.data() + 8 + 8 * i, uint32_t(lumps[i].size()));
    out.insert(out.end(), lumps[i].begin(), lumps[i].end());
    out.resize((out.size() + 3) / 4 * 4, 0);
  }
  return out;
}

MapFaceRecipe FloorRectangle(float minX, float minY, float maxX, float maxY, float z,
                             size_t texture) {
  MapFaceRecipe face;
  face.points = {{minX, minY, z}, {minX, maxY, z}, {maxX, maxY, z}, {maxX, minY, z}};
  face.texture = texture;
  return face;
}

LumpPlace FindLump(const std::vector<uint8_t>& map, int lump) {
  LumpPlace place = {0, 0};
  if (map.size() >= size_t(12 + 8 * lump)) {
    place.offset = Get32(map.data() + 4 + 8 * lump);
    place.length = Get32(map.data() + 8 + 8 * lump);
  }
  return place;
}
