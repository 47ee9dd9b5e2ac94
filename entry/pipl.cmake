# The effect's property list (PiPL), written once. cmake/GeneratePipl.cmake
# turns it into the bytes the Linux library carries and the Windows resource.
# Keep these values equal to what global set-up reports.
set(PIPL_PROPERTIES
  "kind|fourcc|eFKT"
  "name|pstring|Tarsivel"
  "catg|pstring|Quellmark"
  "8664|cstring|EffectMain"
  "ePVR|u16pair|2|0"
  "eSVR|u16pair|13|27"
  "eVER|u32|0x00080001"
  "eINF|u16|0"
  "eGLO|u32|0x02000404"
  "eGL2|u32|0x0A001400"
  "eMNA|pstring|ADBE SDK_Tarsivel"
  "aeFL|u32|0"
)
