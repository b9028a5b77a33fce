-- The dissector's own checksum, cipher, CMAC and names against published vectors: FIPS-197
-- appendices A.1 and C.1, RFC 4493 section 4, the CRC-32/MPEG-2 check value, the discovery
-- request's checksum and known printed names. (Frames signed by the link's C++ code are checked
-- by edge_test.sh.) Run inside tshark (vectors_test.sh); the dissector's path is the script's
-- first argument. Ends tshark with 0 when all hold.
local dissector = ...
local z = dofile(dissector)

local failures = 0
local function check(what, got, want)
  if got ~= want then
    io.stderr:write(string.format("FAIL %s: got %s, want %s\n", what, got, want))
    failures = failures + 1
  end
end

local function bytes(hex)
  local t, n = {}, 0
  for h in hex:gmatch("%x%x") do
    t[n] = tonumber(h, 16)
    n = n + 1
  end
  return t, n
end

local function hex(t, n)
  local out = {}
  for i = 0, n - 1 do out[#out + 1] = string.format("%02x", t[i]) end
  return table.concat(out)
end

local function text(s)
  local t = {}
  for i = 1, #s do t[i - 1] = s:byte(i) end
  return t, #s
end

-- CRC-32/MPEG-2: its check value, and the never-changing discovery request.
check("crc check value", z.frame_crc(text("123456789")), 0x0376E6E7)
check("crc of nothing", z.frame_crc({}, 0), 0xFFFFFFFF)
local discovery = bytes("4d4d444fffffffff")
check("discovery crc", z.frame_crc(discovery, 8), 0x6414F3F8)

-- FIPS-197 C.1.
local w = z.aes_expand(bytes("000102030405060708090a0b0c0d0e0f"))
check("aes-128", hex(z.aes_encrypt(w, bytes("00112233445566778899aabbccddeeff")), 16),
      "69c4e0d86a7b0430d8cdb78070b4c55a")
-- FIPS-197 A.1: the last round key of the expansion example.
local w2 = z.aes_expand(bytes("2b7e151628aed2a6abf7158809cf4f3c"))
check("key expansion", hex({ [0] = w2[160], w2[161], w2[162], w2[163], w2[172], w2[173],
                             w2[174], w2[175] }, 8), "d014f9a8b6630ca6")

-- RFC 4493 section 4: empty, one block, 40 bytes, four blocks.
local signer = z.make_signer(bytes("2b7e151628aed2a6abf7158809cf4f3c"))
local msg = "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51" ..
            "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710"
local tags = {
  [0] = "bb1d6929e95937287fa37d129b756746",
  [16] = "070a16b46b4d4144f79bdd9dd04a287c",
  [40] = "dfa66747de9ae63030ca32611497c827",
  [64] = "51f0bebf7e3b9d92fc49741779363cfe",
}
for n, tag in pairs(tags) do
  local m = bytes(msg:sub(1, 2 * n))
  check("cmac of " .. n .. " bytes", hex(z.cmac(signer, m, n), 16), tag)
end
-- 17 bytes: one full block and one byte padded (the tag as the link's C++ CMAC gives it).
check("cmac of 17 bytes", hex(z.cmac(signer, bytes(msg:sub(1, 34)), 17), 16),
      "bc72cc168ec5a1434dcdb20bc1a2c2a4")

-- Session key: AES-128 keyed with the controller's 16 bytes R, applied to R (the value the
-- link's DeriveSessionKey gives for R = 00 01 .. 0f).
check("session key", hex(z.session_key(bytes("000102030405060708090a0b0c0d0e0f")), 16),
      "0a940bb5416ef045f1c39458c653ea5a")

-- Printed names.
check("devname", z.dev_name(0x31310042), "K105_00066")
check("devname broadcast", z.dev_name(0xFFFFFFFF), "?123_65535")
check("devname family 0", z.dev_name(0x00010001), "R101_00001")
check("devname lift", z.dev_name(0x318C01F9), "K196_00505")

if failures == 0 then io.stderr:write("dissector vectors: all hold\n") end
os.exit(failures == 0 and 0 or 1)
